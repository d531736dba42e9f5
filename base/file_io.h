#pragma once
// The two ways the program touches whole files: reading one with a size cap, and replacing
// one atomically (temporary file in the same folder, flush, fsync, rename), so that a failed
// write leaves the old file whole and no temporary file behind.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// The whole file as bytes; nothing when it is missing, not a regular file, unreadable or
// larger than maxBytes.
std::optional<std::string> ReadFileCapped(const std::filesystem::path& path, std::uintmax_t maxBytes);

struct WriteResult {
    bool ok = false;
    std::string error;  // what went wrong, for the user; empty when ok
    explicit operator bool() const { return ok; }
};

// Replaces `path` with `bytes`. The file's permission bits are kept when it existed; a file
// marked read-only (no write permission for its owner) is not replaced.
WriteResult ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);
// The same for a file only its owner may read and write: it is made so before its first byte
// goes in (a replacement keeps the bits of the file it replaces).
WriteResult ReplaceOwnerOnlyFile(const std::filesystem::path& path, std::string_view bytes);

// Removes the temporary files ReplaceFileAtomically left in `folder` when the program was
// killed during a write ("<name>.<16 hex digits>.tmp"), if at least `minAge` old, so a write
// under way in another instance is left alone. Returns how many were removed.
std::size_t RemoveStaleTemporaries(const std::filesystem::path& folder, std::chrono::seconds minAge);

// Test hook: the steps of ReplaceFileAtomically at which a failure can be injected.
enum class WriteStep { Open, Write, Flush, Sync, Rename };
// While set, the write fails at `step` as if the system had refused it; with `under`, only
// writes of files in that folder (or below) fail, as in a folder the user may not write. For
// the write step, `occurrence` picks the write call that fails (data goes out in 1 MiB
// pieces), so a failure can strike after part of the file was written. Tests only.
void InjectWriteFailure(std::optional<WriteStep> step, const std::filesystem::path& under = {}, int occurrence = 1);

}  // namespace base
