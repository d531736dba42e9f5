#pragma once
// The registry's predefined hives by name: the long name ("HKEY_LOCAL_MACHINE"), the short
// one that key paths may use ("HKLM") and the handle. The one table every part of the
// registry class reads.
#include <array>
#include <string_view>

#include "registry/reg_api.h"

namespace reg {

struct HiveName {
    std::string_view longName, shortName;
    Key handle;
};

inline constexpr std::array<HiveName, 7> kHiveNames = {{
    {"HKEY_CURRENT_USER", "HKCU", kCurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", kLocalMachine},
    {"HKEY_CLASSES_ROOT", "HKCR", kClassesRoot},
    {"HKEY_USERS", "HKUS", kUsers},
    {"HKEY_PERFORMANCE_DATA", "HKPD", kPerformanceData},
    {"HKEY_DYN_DATA", "HKDD", kDynData},
    {"HKEY_CURRENT_CONFIG", "HKCC", kCurrentConfig},
}};

// The hive of a predefined handle; nullptr for any other handle.
inline const HiveName* HiveOf(Key handle) {
    for (const HiveName& h : kHiveNames)
        if (h.handle == handle) return &h;
    return nullptr;
}

}  // namespace reg
