// Build step: writes the multi-language list file "Localization.txt" (Windows-1252, the
// program's 8-bit text) from the shipped "Localization.xml" (UTF-8). Fails when a text holds
// a character the code page cannot represent, so no translation is shipped garbled.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "base/file_io.h"
#include "base/windows1252.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_language_list Localization.xml Localization.txt\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "make_language_list: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string utf8{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string bytes = cp1252::FromUtf8(utf8);
    if (cp1252::ToUtf8(bytes) != utf8) {
        std::fprintf(stderr, "make_language_list: %s holds text that Windows-1252 cannot represent\n", argv[1]);
        return 1;
    }
    const base::WriteResult written = base::ReplaceFileAtomically(argv[2], bytes);
    if (!written) {
        std::fprintf(stderr, "make_language_list: %s\n", written.error.c_str());
        return 1;
    }
    return 0;
}
