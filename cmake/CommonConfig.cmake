# One INTERFACE target carries the language level, warnings and sanitizer flags for every
# target of the project, so that no target can drift from the others.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

add_library(viewer_options INTERFACE)
target_compile_options(viewer_options INTERFACE -Wall -Wextra -Wpedantic)
if(VIEWER_WERROR)
  target_compile_options(viewer_options INTERFACE -Werror)
endif()
if(VIEWER_SANITIZE)
  target_compile_options(viewer_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(viewer_options INTERFACE -fsanitize=address,undefined)
endif()
if(VIEWER_FUZZ)
  # Coverage for libFuzzer in every library the targets link, with ASan and UBSan.
  target_compile_options(viewer_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(viewer_options INTERFACE -fsanitize=address,undefined)
endif()
# Qt: no implicit conversions between QString and char*, so every text crossing the GUI
# edge goes through the Windows-1252 helper.
target_compile_definitions(viewer_options INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
