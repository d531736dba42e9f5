#include "catalogue/catchup.h"

#include <gtest/gtest.h>

using catchup::AddressFor;
using catchup::FromAttributes;

namespace {
// 2026-12-09 20:00:00 UTC to 21:30, asked a day later.
constexpr std::int64_t kStart = 1796846400, kStop = kStart + 5400, kNow = kStart + 86400;

std::string Archived(const catchup::Archive& a, const std::string& live) {
    return AddressFor(a, live, kStart, kStop, kNow).value_or("(none)");
}
}  // namespace

// Every form providers write gives the address their archive answers at, the programme's times
// filled in as each form spells them.
TEST(Catchup, EachFormGivesItsArchiveAddress) {
    EXPECT_EQ(Archived(FromAttributes("default", "7", "http://a.example/arc/{utc}-{utcend}.ts?d={duration}&now={lutc}"),
                       "http://a.example/live.ts"),
              "http://a.example/arc/1796846400-1796851800.ts?d=5400&now=1796932800");
    EXPECT_EQ(Archived(FromAttributes("default", "3", "http://a.example/${start}/${duration}/{Y}{m}{d}-{H}{M}{S}"),
                       "http://a.example/live.ts"),
              "http://a.example/1796846400/5400/20261209-200000");
    EXPECT_EQ(Archived(FromAttributes("append", "", "?start={utc}&m={duration:60}"), "http://a.example/live.m3u8"),
              "http://a.example/live.m3u8?start=1796846400&m=90");
    EXPECT_EQ(Archived(FromAttributes("shift", "", ""), "http://a.example/live.m3u8?token=x"),
              "http://a.example/live.m3u8?token=x&utc=1796846400&lutc=1796932800");
    EXPECT_EQ(Archived(FromAttributes("flussonic", "", ""), "http://f.example:8080/ch1/index.m3u8?token=t"),
              "http://f.example:8080/ch1/index-1796846400-5400.m3u8?token=t");
    EXPECT_EQ(Archived(FromAttributes("fs", "", ""), "http://f.example/ch1/mpegts?token=t"),
              "http://f.example/ch1/timeshift_abs-1796846400.ts?token=t");
    EXPECT_EQ(Archived(FromAttributes("xc", "", ""), "http://x.example:8000/live/user/pass/1234.ts"),
              "http://x.example:8000/timeshift/user/pass/90/2026-12-09:20-00/1234.ts");
    EXPECT_EQ(Archived(FromAttributes("xc", "", ""), "http://x.example:8000/user/pass/1234"),
              "http://x.example:8000/timeshift/user/pass/90/2026-12-09:20-00/1234.ts");
}

// No archive, a programme still to start or older than the archive reaches, and forms that
// cannot make an address give none; what is kept beside a channel reads back the same.
TEST(Catchup, NoAddressWhereTheArchiveHasNone) {
    EXPECT_FALSE(FromAttributes("", "7", "x").declared());
    EXPECT_FALSE(FromAttributes("vod", "7", "x").declared());
    EXPECT_FALSE(FromAttributes("default", "7", "").declared()) << "a template is needed";
    const catchup::Archive twoDays = FromAttributes("shift", "2", "");
    EXPECT_FALSE(AddressFor(twoDays, "http://a/live", kNow + 60, kNow + 600, kNow)) << "not begun";
    EXPECT_FALSE(AddressFor(twoDays, "http://a/live", kNow - 3 * 86400, kNow - 3 * 86400 + 600, kNow)) << "too old";
    EXPECT_TRUE(AddressFor(twoDays, "http://a/live", kNow - 600, kNow + 600, kNow)) << "on now: from its start";
    EXPECT_FALSE(AddressFor(FromAttributes("xc", "", ""), "http://x.example/1234.ts", kStart, kStop, kNow));
    const catchup::Archive kept = FromAttributes("append", "5", "?s={utc};x");
    const catchup::Archive back = catchup::Read(catchup::Write(kept));
    EXPECT_EQ(back.kind, kept.kind);
    EXPECT_EQ(back.days, 5);
    EXPECT_EQ(back.source, "?s={utc};x");
}
