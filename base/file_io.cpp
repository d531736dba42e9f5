#include "base/file_io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace base {
namespace {

std::optional<WriteStep> g_injected;
std::filesystem::path g_injectedUnder;
int g_injectedOccurrence = 1;
thread_local bool g_injectionApplies = false;  // for the write under way
thread_local int g_writeCalls = 0;             // write calls of the write under way

// Data goes out in pieces of this size, so a failure can strike in the middle of a file.
constexpr std::size_t kWritePiece = std::size_t{1} << 20;

bool Injected(WriteStep step) { return g_injectionApplies && g_injected && *g_injected == step; }

// For the write step: true at the injected occurrence of a write call.
bool WriteCallFails() {
    ++g_writeCalls;
    return Injected(WriteStep::Write) && g_writeCalls >= g_injectedOccurrence;
}

// Whether an injected failure applies to a write of `target`.
bool InjectionApplies(const std::filesystem::path& target) {
    if (!g_injected) return false;
    if (g_injectedUnder.empty()) return true;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(std::filesystem::absolute(target, ec), ec);
    const std::filesystem::path under = std::filesystem::weakly_canonical(g_injectedUnder, ec);
    auto f = folder.begin();
    for (auto u = under.begin(); u != under.end(); ++u, ++f)
        if (f == folder.end() || *f != *u) return false;
    return true;
}

std::string TempName(const std::filesystem::path& target) {
    thread_local std::mt19937_64 rng{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(rng()));
    return target.filename().string() + suffix;
}

#ifndef _WIN32
std::string SystemText(int err) { return std::generic_category().message(err); }
#endif

constexpr std::size_t kTempSuffixLength = 1 + 16 + 4;  // ".<16 hex digits>.tmp"

// Whether `name` is one of ours: something, a dot, 16 hex digits, ".tmp".
bool IsTemporaryName(const std::string& name) {
    if (name.size() <= kTempSuffixLength || !name.ends_with(".tmp")) return false;
    const std::size_t dot = name.size() - kTempSuffixLength;
    if (name[dot] != '.') return false;
    for (std::size_t i = dot + 1; i < dot + 17; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

}  // namespace

std::size_t RemoveStaleTemporaries(const std::filesystem::path& folder, std::chrono::seconds minAge) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return 0;
    const auto now = std::filesystem::file_time_type::clock::now();
    std::size_t removed = 0;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const std::filesystem::directory_entry& entry = *it;
        std::error_code entryError;
        if (!entry.is_regular_file(entryError) || !IsTemporaryName(entry.path().filename().string())) continue;
        const auto written = entry.last_write_time(entryError);
        if (entryError || now - written < minAge) continue;  // may be a write under way
        if (std::filesystem::remove(entry.path(), entryError)) ++removed;
    }
    return removed;
}

void InjectWriteFailure(std::optional<WriteStep> step, const std::filesystem::path& under, int occurrence) {
    g_injected = step;
    g_injectedUnder = under;
    g_injectedOccurrence = occurrence < 1 ? 1 : occurrence;
}

std::optional<std::string> ReadFileCapped(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > maxBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string data(static_cast<std::size_t>(size), '\0');
    in.read(data.data(), static_cast<std::streamsize>(size));
    data.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return std::nullopt;
    // The file may have grown since it was measured: take what is there, up to the cap.
    char extra[4096];
    while (in.read(extra, sizeof extra) || in.gcount() > 0) {
        data.append(extra, static_cast<std::size_t>(in.gcount()));
        if (data.size() > maxBytes) return std::nullopt;
    }
    return data;
}

// Where the system has owner bits the file is made owner-only before anything is written to it;
// on Windows the file lives in the user's own profile folder, whose access list already keeps
// other users out, and the call clears a read-only flag at most.
WriteResult ReplaceOwnerOnlyFile(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        if (WriteResult made = ReplaceFileAtomically(path, {}); !made) return made;
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ec);
    if (ec) return WriteResult{false, "its permissions could not be set: " + ec.message()};
    return ReplaceFileAtomically(path, bytes);
}

#ifndef _WIN32

WriteResult ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    g_injectionApplies = InjectionApplies(path);
    g_writeCalls = 0;
    WriteResult result;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    const std::filesystem::path temp = folder / TempName(path);

    mode_t mode = 0644;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    // A file marked read-only stays as it is, as it does where replacing it is refused by the
    // system (a rename here would go through whatever the file's own flags say).
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
        result.error = std::string("Could not write ") + path.string() + ": the file is read-only";
        return result;
    }

    auto fail = [&](const char* what, int err, int fd) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        result.ok = false;
        result.error = std::string(what) + " " + path.string() + ": " + SystemText(err);
        return result;
    };

    int fd = Injected(WriteStep::Open) ? -1 : ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        const int err = Injected(WriteStep::Open) ? EACCES : errno;
        result.error = std::string("Could not write ") + path.string() + ": " + SystemText(err);
        return result;
    }
    std::size_t done = 0;
    while (done < bytes.size() || (bytes.empty() && Injected(WriteStep::Write))) {
        const bool injected = WriteCallFails();
        const std::size_t piece = std::min(bytes.size() - done, kWritePiece);
        ssize_t n = injected ? -1 : ::write(fd, bytes.data() + done, piece);
        if (n < 0) {
            const int err = injected ? ENOSPC : errno;
            if (err == EINTR) continue;
            return fail("Could not write", err, fd);
        }
        done += static_cast<std::size_t>(n);
    }
    // The plain descriptor has no user-space buffer: the flush step is the kernel hand-over,
    // checked here so a fault injected at it is reported like any other.
    if (Injected(WriteStep::Flush)) return fail("Could not write", EIO, fd);
    if (Injected(WriteStep::Sync) || ::fsync(fd) != 0)
        return fail("Could not save", Injected(WriteStep::Sync) ? EIO : errno, fd);
    if (::close(fd) != 0) return fail("Could not save", errno, -1);
    if (Injected(WriteStep::Rename) || ::rename(temp.c_str(), path.c_str()) != 0)
        return fail("Could not replace", Injected(WriteStep::Rename) ? EACCES : errno, -1);
    // Make the rename itself durable.
    int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        ::fsync(dirfd);
        ::close(dirfd);
    }
    result.ok = true;
    return result;
}

#else

WriteResult ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    g_injectionApplies = InjectionApplies(path);
    g_writeCalls = 0;
    WriteResult result;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    const std::filesystem::path temp = folder / TempName(path);
    auto fail = [&](const char* what, HANDLE h) {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        DeleteFileW(temp.c_str());
        result.error = std::string(what) + " " + path.string();
        return result;
    };
    HANDLE h = Injected(WriteStep::Open)
                   ? INVALID_HANDLE_VALUE
                   : CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        result.error = "Could not write " + path.string();
        return result;
    }
    std::size_t done = 0;
    while (done < bytes.size() || (bytes.empty() && Injected(WriteStep::Write))) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kWritePiece));
        DWORD written = 0;
        if (WriteCallFails() || !WriteFile(h, bytes.data() + done, chunk, &written, nullptr))
            return fail("Could not write", h);
        done += written;
    }
    if (Injected(WriteStep::Flush)) return fail("Could not write", h);
    if (Injected(WriteStep::Sync) || !FlushFileBuffers(h)) return fail("Could not save", h);
    CloseHandle(h);
    if (Injected(WriteStep::Rename) ||
        !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail("Could not replace", INVALID_HANDLE_VALUE);
    result.ok = true;
    return result;
}

#endif

}  // namespace base
