#include "services/recording.h"

#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#endif

namespace recording {
namespace {
std::atomic<std::uint64_t> g_spaceForTests{0};
}

std::string SafeFileName(std::string_view name) {
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool bad = u < 0x20 || std::strchr("/\\:*?\"<>|", c) != nullptr;
        out += bad ? '_' : c;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    std::size_t lead = 0;
    while (lead < out.size() && (out[lead] == '.' || out[lead] == ' ')) ++lead;
    out.erase(0, lead);
    if (out.size() > 100) {
        std::size_t end = 100;
        while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80) --end;
        out.resize(end);
    }
    return out.empty() ? std::string("Recording") : out;
}

std::filesystem::path FreePath(const std::filesystem::path& folder, const std::string& stem,
                               const std::string& extension) {
    std::error_code ec;
    std::filesystem::path path = folder / (stem + "." + extension);
    for (int n = 2; std::filesystem::exists(path, ec) && n < 10000; ++n)
        path = folder / (stem + " (").append(std::to_string(n)).append(").").append(extension);
    return path;
}

std::string ExtensionFor(std::string_view demuxer, bool hasVideo) {
    if (demuxer == "mpegts" || demuxer == "hls" || demuxer == "lavf:mpegts" || demuxer == "lavf:hls") return "ts";
    for (const std::string_view own : {"mp3", "aac", "ogg", "flac", "opus", "wav"})
        if (demuxer == own) return std::string(own);
    return hasVideo ? "mkv" : "mka";
}

void Sink::SetSpaceForTests(std::uint64_t bytes) { g_spaceForTests = bytes; }

std::string Sink::failure() const { return m_failed ? m_failure : std::string(); }

void Sink::fail(const std::string& why) {
    if (m_failed) return;
    m_failure = why;
    m_failed = true;
}

#ifdef _WIN32

std::unique_ptr<Sink> Sink::Open(const std::filesystem::path&, std::string& error) {
    error = "recording is not available on this system";
    return nullptr;
}
Sink::~Sink() = default;
void Sink::finish() {}
void Sink::run() {}
int CleanLeftovers() { return 0; }

#else

namespace {
constexpr std::string_view kPipePrefix = "viewer-record-";

std::string PipeParent() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}
}  // namespace

int CleanLeftovers() {
    int removed = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(PipeParent(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kPipePrefix, 0) != 0) continue;
        // "viewer-record-<pid>-XXXXXX": only this user's, and only when that process is gone.
        const std::string rest = name.substr(kPipePrefix.size());
        const std::size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || rest.find_first_not_of("0123456789") != dash) continue;
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) continue;
        const long pid = std::strtol(rest.c_str(), nullptr, 10);
        if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) continue;
        // What a recording's folder holds: its pipe. Anything else is left, and so the folder.
        for (const auto& inside : std::filesystem::directory_iterator(entry.path(), ec)) {
            struct stat fifo {};
            if (::lstat(inside.path().c_str(), &fifo) == 0 && S_ISFIFO(fifo.st_mode)) ::unlink(inside.path().c_str());
        }
        if (::rmdir(entry.path().c_str()) == 0) ++removed;
    }
    return removed;
}

std::unique_ptr<Sink> Sink::Open(const std::filesystem::path& target, std::string& error) {
    std::unique_ptr<Sink> sink(new Sink);
    sink->m_target = target;
    sink->m_folder = target.parent_path();
    // Never over a file that is there: created here, or refused.
    sink->m_file = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (sink->m_file < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    // The pipe, in a folder of its own that only this user can enter, named with this process's
    // id so that a later start can tell a folder left by a process that died (CleanLeftovers).
    std::string folder = PipeParent() + "/" + std::string(kPipePrefix) + std::to_string(::getpid()) + "-XXXXXX";
    const auto refuse = [&] {
        error = std::strerror(errno);
        ::unlink(target.c_str());  // made here, empty: the rest goes with the sink
        return nullptr;
    };
    if (!::mkdtemp(folder.data())) return refuse();
    sink->m_pipeFolder = folder;
    sink->m_pipe = folder + "/stream" + target.extension().string();
    // The player's writes must never raise SIGPIPE in this process, whatever happens to the
    // reading end: the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
    if (::mkfifo(sink->m_pipe.c_str(), 0600) != 0 || ::pipe2(sink->m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return refuse();
    // Read without waiting for a writer; and a writer of our own kept open, so the pipe never
    // reads as ended between the player's files (a reconnect opens it anew).
    sink->m_read = ::open(sink->m_pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    sink->m_keepOpen = sink->m_read < 0 ? -1 : ::open(sink->m_pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (sink->m_read < 0 || sink->m_keepOpen < 0) return refuse();
    sink->m_thread = std::thread([s = sink.get()] { s->run(); });
    return sink;
}

void Sink::run() {
    struct stat opened {};
    ::fstat(m_file, &opened);
    std::string buffer(std::size_t{64} << 10, '\0');
    int sinceCheck = 0;
    for (;;) {
        pollfd fds[2] = {{m_read, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        ::poll(fds, 2, 500);
        // Everything the pipe holds now, written (or, once writing failed, passed by, so the
        // player is never held up).
        for (;;) {
            const ssize_t n = ::read(m_read, buffer.data(), buffer.size());
            if (n <= 0) break;
            if (m_failed) continue;
            std::size_t done = 0;
            while (done < static_cast<std::size_t>(n)) {
                std::size_t want = static_cast<std::size_t>(n) - done;
                const std::uint64_t space = g_spaceForTests;
                if (space > 0 && m_bytes + want > space) want = space > m_bytes ? space - m_bytes : 0;
                const ssize_t w = want == 0 ? -1 : ::write(m_file, buffer.data() + done, want);
                if (w < 0) {
                    if (want != 0 && errno == EINTR) continue;
                    const int code = want == 0 ? ENOSPC : errno;
                    fail(code == ENOSPC ? "the disk is full"
                                        : std::string("it could not be written: ") + std::strerror(code));
                    break;
                }
                done += static_cast<std::size_t>(w);
                m_bytes += static_cast<std::uint64_t>(w);
            }
        }
        // The file is still where it was made: a folder that went (a drive taken out, a
        // folder deleted) ends the recording, not a write into a file no one can find.
        if (++sinceCheck >= 4 && !m_failed) {
            sinceCheck = 0;
            struct stat now {};
            if (::stat(m_target.c_str(), &now) != 0 || now.st_ino != opened.st_ino || now.st_dev != opened.st_dev)
                fail("the folder " + m_folder.string() + " is gone");
        }
        if (m_finishing) break;
    }
}

void Sink::finish() {
    if (m_thread.joinable()) {
        m_finishing = true;
        const char wake = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(m_wake[1], &wake, 1);
        m_thread.join();
    }
    if (m_file >= 0) ::fsync(m_file);
    // A recording that got nothing leaves no empty file behind (when the file is still the one
    // made here).
    if (m_file >= 0 && m_bytes == 0) {
        struct stat made {
        }, there{};
        if (::fstat(m_file, &made) == 0 && ::stat(m_target.c_str(), &there) == 0 && made.st_ino == there.st_ino &&
            made.st_dev == there.st_dev && there.st_size == 0)
            ::unlink(m_target.c_str());
    }
    for (int* fd : {&m_file, &m_read, &m_keepOpen, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    if (!m_pipe.empty()) ::unlink(m_pipe.c_str());
    if (!m_pipeFolder.empty()) ::rmdir(m_pipeFolder.c_str());
    m_pipe.clear();
    m_pipeFolder.clear();
}

Sink::~Sink() { finish(); }

#endif

}  // namespace recording
