#pragma once
// Unpacks a gzip stream piece by piece, or passes plain bytes through: guides are served both
// ways, and the first two bytes tell which.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace guide {

class Gunzip {
public:
    using Sink = std::function<bool(std::string_view)>;  // false stops the stream
    explicit Gunzip(Sink sink);
    ~Gunzip();
    Gunzip(const Gunzip&) = delete;
    Gunzip& operator=(const Gunzip&) = delete;

    // False when the compressed data is damaged or the sink said stop.
    bool feed(std::string_view piece);
    // False when a gzip stream was cut short.
    bool finish();
    const std::string& error() const { return m_error; }
    bool compressed() const { return m_mode == Mode::Gzip; }

private:
    bool inflate(std::string_view piece);
    enum class Mode { Undecided, Plain, Gzip };
    Mode m_mode = Mode::Undecided;
    std::string m_head;  // the first byte while the second is awaited
    Sink m_sink;
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    bool m_ended = false;  // the last gzip member is complete
    std::string m_error;
};

}  // namespace guide
