#include "catalogue/codec.h"

#include <array>
#include <stdexcept>

namespace modGenDec {
namespace {

using Table = std::array<unsigned char, 256>;

constexpr Table MakeEncodeTable() {
    Table t{};
    for (int c = 0; c < 256; ++c) {
        int v = c + kKey;
        if (v > 255) v -= 255;
        t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(v);
    }
    return t;
}

constexpr Table MakeDecodeTable() {
    Table t{};
    for (int c = 0; c < 256; ++c) {
        int v = c - kKey;
        if (v < 0) v += 255;
        t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(v);
    }
    return t;
}

constexpr Table kEncode = MakeEncodeTable();
constexpr Table kDecode = MakeDecodeTable();

void CheckLength(std::size_t size) {
    if (size > kMaxLineLength) throw std::overflow_error("Overflow");
}

void Apply(const Table& table, char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(table[static_cast<unsigned char>(data[i])]);
}

std::string Transform(const Table& table, std::string_view line) {
    CheckLength(line.size());
    std::string out(line);
    Apply(table, out.data(), out.size());
    return out;
}

}  // namespace

std::string EncodeLine(std::string_view line) { return Transform(kEncode, line); }
std::string DecodeLine(std::string_view line) { return Transform(kDecode, line); }

void DecodeInPlace(char* data, std::size_t size) {
    CheckLength(size);
    Apply(kDecode, data, size);
}

void EncodeInPlace(char* data, std::size_t size) {
    CheckLength(size);
    Apply(kEncode, data, size);
}

}  // namespace modGenDec
