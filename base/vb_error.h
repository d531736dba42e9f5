#pragma once
// A run-time error as the program's routines raise it: a number, the source that raised it,
// and the text (what()).
#include <stdexcept>
#include <string>

struct VbError : std::runtime_error {
    long number;
    std::string source;
    VbError(long num, std::string src, const std::string& text)
        : std::runtime_error(text), number(num), source(std::move(src)) {}
};

namespace vb_errors {
inline constexpr long kFileNotFound = 53;
inline constexpr long kPermissionDenied = 70;
inline constexpr long kPathFileAccess = 75;
inline constexpr long kPathNotFound = 76;
}  // namespace vb_errors
