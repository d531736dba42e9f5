// The core tests' main: the program's per-user and machine-wide folders in a temporary folder.
#include <gtest/gtest.h>

#include "support/temp_dir.h"

int main(int argc, char** argv) {
    UseTemporaryHomes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
