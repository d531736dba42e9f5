// Helper of the crash-safety test: writes values into HKEY_CURRENT_USER\Crash one at a time and
// prints the index of each write that completed, until it is killed.
//   registry_crash_writer MACHINE_FOLDER USER_FOLDER
#include <cstdio>
#include <string>

#include "registry/hives.h"
#include "registry/registry_access.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    SetHiveFolders(argv[1], argv[2]);
    clsRegistryAccess reg;
    const std::string payload(512, 'p');
    for (long i = 0;; ++i) {
        const std::string key = "HKCU\\Crash\\Batch" + std::to_string(i / 100);
        if (reg.WriteString(key, "v" + std::to_string(i), std::to_string(i) + payload) == 0) return 1;
        std::printf("%ld\n", i);
        std::fflush(stdout);
    }
}
