#pragma once
// Hive files in a temporary folder for the life of a test.
#include <gtest/gtest.h>

#include "registry/hives.h"
#include "registry/registry_access.h"
#include "support/temp_dir.h"

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { SetHiveFolders(dir / "machine", dir / "user"); }
    void TearDown() override { SetHiveFolders(dir / "unused-machine", dir / "unused-user"); }

    TempDir dir;
    clsRegistryAccess reg;
};
