#pragma once
// Keys of the per-user settings store and their defaults, in one place. All live in the
// section "Settings" under the application's product name.
namespace settings_keys {

inline constexpr const char* kSection = "Settings";

inline constexpr const char* kTVLang = "TVLang";
inline constexpr const char* kRadioLang = "RadioLang";
inline constexpr const char* kVideoLang = "VideoLang";
inline constexpr const char* kDefaultLanguage = "English";

inline constexpr const char* kShowHelp = "showHelp";
inline constexpr const char* kShowHelpDefault = "1";

inline constexpr const char* kDrive = "Drive";
inline constexpr const char* kDir = "Dir";

inline constexpr const char* kLanguage = "Language";
inline constexpr const char* kIgnorePermissionDenied = "IgnorePermissionDeniedError";

}  // namespace settings_keys
