#pragma once
// The files the program keeps beside itself (Data.txt, Favorites.txt, Data.htm, the
// localisation files) and where they really are. A portable install, whose program folder the
// user may write, keeps them there. An installed program, whose folder belongs to the system,
// keeps the user's own versions in the user's data folder: every write goes there, and a read
// takes the user's copy when there is one, unless the program folder's file is newer (a
// package upgrade shipped a newer catalogue). The user's own data (the favourites) is never
// replaced that way: once the user has a copy, it is the one read, whatever the program folder
// holds. The one place that says where such a file lives.
#include <filesystem>
#include <optional>
#include <string>

namespace program_files {

// $XDG_DATA_HOME/<product>, else ~/.local/share/<product>; %LOCALAPPDATA%\<product> on Windows.
std::filesystem::path UserDataFolder();

// True when the user may write the program folder.
bool ProgramFolderWritable();

// What a file is: one the program ships and the user never edits (the catalogue, the
// localisation files), or the user's own data, which a shipped copy never replaces.
enum class Kind { Shipped, UsersOwn };

// The file to read for `name`.
std::filesystem::path ReadPath(const std::string& name, Kind kind = Kind::Shipped);

// The file to write for `name`; its folder is made when it is missing.
std::filesystem::path WritePath(const std::string& name);

// Tests only: decide whether the program folder counts as writable (root may write anything).
void SetProgramFolderWritableForTests(std::optional<bool> writable);

}  // namespace program_files
