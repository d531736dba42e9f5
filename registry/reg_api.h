#pragma once
// The registry calls the program uses, with the Win32 registry's meaning: predefined hive
// handles, keys opened by handle, values with a type and their exact bytes, the Win32 status
// codes. On Windows they are the real registry; elsewhere each hive is a SQLite database file
// (registry/hives.h says where). Key and value names are case-insensitive and case-preserving.
#include <cstdint>
#include <string>
#include <string_view>

namespace reg {

using Key = std::uintptr_t;  // 0 is no key

inline constexpr Key kClassesRoot = 0x80000000;
inline constexpr Key kCurrentUser = 0x80000001;
inline constexpr Key kLocalMachine = 0x80000002;
inline constexpr Key kUsers = 0x80000003;
inline constexpr Key kPerformanceData = 0x80000004;
inline constexpr Key kCurrentConfig = 0x80000005;
inline constexpr Key kDynData = 0x80000006;

// Status codes (Win32 error numbers).
inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidHandle = 6;
inline constexpr long kInvalidParameter = 87;
inline constexpr long kMoreData = 234;
inline constexpr long kNoMoreItems = 259;
inline constexpr long kBadDb = 1009;  // the hive's storage is unreadable

// Value types.
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kMultiSz = 7;

// Access masks.
inline constexpr std::uint32_t kRead = 0x20019;
inline constexpr std::uint32_t kWrite = 0x20006;
inline constexpr std::uint32_t kAllAccess = 0xF003F;

// Limits of the registry: longer names and deeper paths are refused with kInvalidParameter.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr std::size_t kMaxDepth = 512;

long CreateKey(Key parent, std::string_view subKey, Key* result);  // creates missing levels; all access
long OpenKey(Key parent, std::string_view subKey, std::uint32_t access, Key* result);
long CloseKey(Key key);
long SetValue(Key key, std::string_view name, std::uint32_t type, std::string_view data);
long QueryValue(Key key, std::string_view name, std::uint32_t* type, std::string* data);  // data may be null
long EnumKey(Key key, std::uint32_t index, std::string* name);                            // sorted by name
long EnumValue(Key key, std::uint32_t index, std::string* name, std::uint32_t* type, std::string* data);
long DeleteKey(Key key, std::string_view subKey);  // kAccessDenied while the key has sub-keys
long DeleteValue(Key key, std::string_view name);

}  // namespace reg
