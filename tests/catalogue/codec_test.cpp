#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "catalogue/codec.h"

using modGenDec::DecodeLine;
using modGenDec::EncodeLine;

namespace {
std::string AllCodes(int from, int to) {
    std::string s;
    for (int c = from; c <= to; ++c) s.push_back(static_cast<char>(c));
    return s;
}
}  // namespace

TEST(LineCodec, EmptyLineStaysEmpty) {
    EXPECT_EQ(EncodeLine(""), "");
    EXPECT_EQ(DecodeLine(""), "");
}

TEST(LineCodec, ShiftsEachByteByTheKeyWithAWrapOf255) {
    const int k = modGenDec::kKey;
    EXPECT_EQ(EncodeLine("A"), std::string(1, static_cast<char>('A' + k)));
    // 250 + k passes 255 and wraps by 255, not 256.
    EXPECT_EQ(static_cast<unsigned char>(EncodeLine(std::string(1, static_cast<char>(250)))[0]), 250 + k - 255);
    EXPECT_EQ(static_cast<unsigned char>(DecodeLine(std::string(1, static_cast<char>(1)))[0]), 1 - k + 255);
}

TEST(LineCodec, IsTotalAndRoundTripsEveryCodeBelow255) {
    // Every byte is taken, the two that code to a line break included: the codec is a pure
    // shift, and keeping those bytes out of a stored line is the writers' business.
    const std::string line = AllCodes(0, 254);
    EXPECT_EQ(DecodeLine(EncodeLine(line)), line);
    std::string inPlace = "Cr\x06Lf\x03";
    modGenDec::EncodeInPlace(inPlace.data(), inPlace.size());
    EXPECT_EQ(inPlace, EncodeLine("Cr\x06Lf\x03"));
    EXPECT_EQ(inPlace[2], '\r');
    EXPECT_EQ(inPlace[5], '\n');
}

TEST(LineCodec, Code255ComesBackAsCode0) {
    const std::string line = std::string("a") + static_cast<char>(255) + "b";
    EXPECT_EQ(DecodeLine(EncodeLine(line)), std::string("a") + '\0' + "b");
}

TEST(LineCodec, EncodingNeverYieldsNulCarriageReturnOrLineFeedForText) {
    EXPECT_EQ(EncodeLine(AllCodes(0, 255)).find('\0'), std::string::npos);
    // Text is TAB and the codes 32 to 255: none of it may become a line end.
    const std::string text = "\t" + AllCodes(32, 255);
    const std::string encodedText = EncodeLine(text);
    EXPECT_EQ(encodedText.find('\r'), std::string::npos);
    EXPECT_EQ(encodedText.find('\n'), std::string::npos);
}

TEST(LineCodec, KeepsLengthAndOrder) {
    const std::string line = "BBC World Service|http://example.invalid/stream|Radio|English";
    const std::string encoded = EncodeLine(line);
    ASSERT_EQ(encoded.size(), line.size());
    EXPECT_NE(encoded, line);
    EXPECT_EQ(DecodeLine(encoded), line);
}

TEST(LineCodec, LongestLineIs32766Bytes) {
    EXPECT_NO_THROW(EncodeLine(std::string(32766, 'x')));
    EXPECT_NO_THROW(DecodeLine(std::string(32766, 'x')));
    EXPECT_THROW(EncodeLine(std::string(32767, 'x')), std::overflow_error);
    EXPECT_THROW(DecodeLine(std::string(32767, 'x')), std::overflow_error);
    EXPECT_THROW(EncodeLine(std::string(40000, 'x')), std::overflow_error);
}
