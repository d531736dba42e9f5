#pragma once
// Recording what plays: the player writes the stream (its packets as they come, never encoded
// again) into a pipe of ours, and a thread copies it into the recording's file. So the file is
// ours to open (never over another), to append to when the player starts writing anew after a
// reconnect, and to watch: a full disk or a folder that went ends the recording with the reason,
// and what was written stays.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace recording {

// A file name from a channel's name: characters no file system takes, and leading dots, become
// "_"; at most 100 bytes of UTF-8, cut at a whole character; "Recording" for none left.
std::string SafeFileName(std::string_view name);
// "<folder>/<stem>.<extension>", or with " (2)", " (3)" … before the extension when that is taken.
std::filesystem::path FreePath(const std::filesystem::path& folder, const std::string& stem,
                               const std::string& extension);
// The container a recording of this demuxer's stream is written in ("ts" for MPEG-TS and HLS,
// the stream's own for radio, "mkv" for the rest).
std::string ExtensionFor(std::string_view demuxer, bool hasVideo);

// Removes the pipe folders of recordings whose program ended without finishing them (killed, or
// the machine went down): this user's, of processes that are gone. Gives how many went.
int CleanLeftovers();

class Sink {
public:
    // Creates `target` (failing when it exists) and the pipe the player writes into.
    static std::unique_ptr<Sink> Open(const std::filesystem::path& target, std::string& error);
    ~Sink();  // as finish()
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    // Where the player writes: a pipe whose name ends in the target's extension (the player
    // picks its container by it).
    const std::string& pipePath() const { return m_pipe; }
    const std::filesystem::path& target() const { return m_target; }
    // The player has let go of the pipe: what is left in it is written, and the file closed.
    // A file that got nothing is removed.
    void finish();
    std::uint64_t bytes() const { return m_bytes; }
    // Why writing stopped ("the disk is full", "the folder … is gone"); empty while it goes on.
    std::string failure() const;
    bool failed() const { return m_failed; }

    // Tests only: the disk holds this many bytes more for recordings (0: as it is).
    static void SetSpaceForTests(std::uint64_t bytes);

private:
    Sink() = default;
    void run();
    void fail(const std::string& why);

    std::filesystem::path m_target, m_folder;
    std::string m_pipe, m_pipeFolder;
    int m_file = -1, m_read = -1, m_keepOpen = -1, m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<std::uint64_t> m_bytes{0};
    std::atomic<bool> m_failed{false}, m_finishing{false};
    std::string m_failure;  // set once before m_failed
};

}  // namespace recording
