#pragma once
// Hive files in a temporary folder for the life of a test.
#include <gtest/gtest.h>

#include "registry/hives.h"
#include "registry/registry_access.h"
#include "support/temp_dir.h"

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetHiveFolders(dir / "machine", dir / "user");
#ifdef _WIN32
        // The real registry outlives a test: start each from the keys the tests use, removed.
        for (const char* key : {"HKCU\\K", "HKCU\\E", "HKCU\\A", "HKCU\\New", "HKCU\\Src", "HKCU\\Dst", "HKCU\\L",
                                "HKCU\\O", "HKCU\\Gone", "HKCU\\Stay", "HKCU\\Plain", "HKCU\\J", "HKCU\\Crash",
                                "HKCU\\Software\\Marlu", "HKCU\\Software\\Editor", "HKCU\\Software\\MixedCase",
                                "HKLM\\SOFTWARE\\Marlu", "HKLM\\Software\\Marlu", "HKLM\\K"})
            DeleteTree(key);
#endif
    }
    // Deletes a key and everything below it.
    void DeleteTree(const std::string& keyPath) {
        std::vector<std::string> subkeys;
        if (reg.EnumKeys(keyPath, subkeys) < 0) return;
        for (const std::string& sub : subkeys) DeleteTree(keyPath + "\\" + sub);
        reg.KillKey(keyPath);
    }
    void TearDown() override { SetHiveFolders(dir / "unused-machine", dir / "unused-user"); }

    TempDir dir;
    clsRegistryAccess reg;
};
