#pragma once
// File-exists test and file-name part, as the program uses them for admin.txt, Favorites.txt,
// Data.txt, the help document and the localisation files.
#include <filesystem>
#include <string>

namespace xfileExists {

// True when a file (not a folder) of that name exists. Names are compared without regard to
// letter case, as on the platform the program was designed for: on a case-sensitive file
// system a file whose name differs only in case counts too. No wildcards; every error is false.
bool FileExists(const std::string& path);

// The file `path` names, in whatever letter case its name has on disk: `path` itself when it
// exists (or the system ignores letter case), else the entry of its folder whose name differs
// only in letter case, else `path` unchanged (a file still to be made). Every reader and writer
// of the program's own files goes through it, so "favorites.txt" is read and written as the
// one file it is, never beside a new "Favorites.txt".
std::filesystem::path ResolveCase(const std::filesystem::path& path);

// The part of the path after its last "\" (and, where "/" separates folders, after the last
// "/"); the whole path when it has none; "" for "".
std::string FileNamePart(const std::string& path);

}  // namespace xfileExists
