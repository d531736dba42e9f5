#pragma once
// One running instance per program folder: the first instance holds a lock file; a second
// start finds it held and reports a previous instance.
#include <QString>

namespace single_instance {

// Takes the lock for the program in `programFolder`. Returns true when another live instance
// already holds it. The lock is kept until the process ends.
bool AnotherInstanceRunning(const QString& programFolder, const QString& productName);

}  // namespace single_instance
