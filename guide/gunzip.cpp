#include "guide/gunzip.h"

#include <zlib.h>

#include <array>

namespace guide {

struct Gunzip::Stream {
    z_stream z{};
    bool open = false;
    ~Stream() {
        if (open) inflateEnd(&z);
    }
};

Gunzip::Gunzip(Sink sink) : m_sink(std::move(sink)) {}
Gunzip::~Gunzip() = default;

bool Gunzip::feed(std::string_view piece) {
    if (!m_error.empty()) return false;
    if (m_mode == Mode::Undecided) {
        m_head.append(piece);
        if (m_head.size() < 2) return true;
        const bool gzip =
            static_cast<unsigned char>(m_head[0]) == 0x1F && static_cast<unsigned char>(m_head[1]) == 0x8B;
        m_mode = gzip ? Mode::Gzip : Mode::Plain;
        const std::string head = std::move(m_head);
        m_head.clear();
        return feed(head);
    }
    if (m_mode == Mode::Plain) {
        if (!m_sink(piece)) {
            m_error = "stopped";
            return false;
        }
        return true;
    }
    return inflate(piece);
}

bool Gunzip::inflate(std::string_view piece) {
    if (!m_stream) {
        m_stream = std::make_unique<Stream>();
        if (inflateInit2(&m_stream->z, 16 + MAX_WBITS) != Z_OK) {
            m_error = "the guide could not be unpacked";
            return false;
        }
        m_stream->open = true;
    }
    z_stream& z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = static_cast<uInt>(piece.size());
    std::array<char, std::size_t{256} * 1024> out{};
    // Output may still be pending when the input is used up but the last call filled the buffer.
    bool more = z.avail_in > 0;
    while (more) {
        if (m_ended) {
            // Another gzip member follows the last one (concatenated files).
            inflateReset(&z);
            m_ended = false;
        }
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        const int rc = ::inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            m_error = "the guide's compressed data is damaged";
            return false;
        }
        const std::size_t made = out.size() - z.avail_out;
        if (made > 0 && !m_sink(std::string_view(out.data(), made))) {
            m_error = "stopped";
            return false;
        }
        if (rc == Z_STREAM_END) m_ended = true;
        if (rc == Z_BUF_ERROR && made == 0) break;
        more = z.avail_in > 0 || (z.avail_out == 0 && !m_ended);
    }
    return true;
}

bool Gunzip::finish() {
    if (!m_error.empty()) return false;
    if (m_mode == Mode::Undecided && !m_head.empty()) {
        m_mode = Mode::Plain;
        const std::string head = std::move(m_head);
        return m_sink(head);
    }
    if (m_mode == Mode::Gzip && !m_ended) {
        m_error = "the compressed guide ends too early";
        return false;
    }
    return true;
}

}  // namespace guide
