#include "services/logo_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "support/tiny_http.h"

namespace {

// The disk cache of the test program's data folder, emptied before and after.
class LogoCache : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::remove_all(logo_cache::Folder(), ec); }
    void TearDown() override {
        logo_cache::SetMaxCacheBytesForTests(0);
        std::filesystem::remove_all(logo_cache::Folder(), ec);
    }
    static std::uintmax_t FolderBytes() {
        std::error_code e;
        std::uintmax_t total = 0;
        for (const auto& f : std::filesystem::directory_iterator(logo_cache::Folder(), e)) total += f.file_size(e);
        return total;
    }
    std::error_code ec;
    TinyHttp server;
};

}  // namespace

// A logo is fetched once and then read from the disk; the folder stays within its bound, the
// oldest logos going first; what is no logo (too large, an error page, not http) is not kept.
TEST_F(LogoCache, FetchesOnceKeepsWithinItsBoundAndRefusesWhatIsNoLogo) {
    logo_cache::SetMaxCacheBytesForTests(100 * 1024);
    const std::string picture(30 * 1024, 'p');
    for (int i = 0; i < 6; ++i) server.route("/l" + std::to_string(i) + ".png", 200, picture, "image/png");
    // Each logo kept is given its own minute, oldest first: file times written in one moment may
    // be equal (a coarse clock, Windows), and the order is what is checked.
    std::set<std::filesystem::path> seen;
    const auto age = [&](int i) {
        for (const auto& f : std::filesystem::directory_iterator(logo_cache::Folder(), ec))
            if (seen.insert(f.path()).second)
                std::filesystem::last_write_time(
                    f.path(), std::filesystem::file_time_type::clock::now() - std::chrono::minutes(10 - i), ec);
    };
    ASSERT_TRUE(logo_cache::Get(server.url("/l0.png")).has_value());
    age(0);
    server.route("/l0.png", 404, "gone");
    EXPECT_EQ(logo_cache::Get(server.url("/l0.png")), picture) << "the second time from the disk";
    for (int i = 1; i < 6; ++i) {
        ASSERT_TRUE(logo_cache::Get(server.url("/l" + std::to_string(i) + ".png")));
        age(i);
    }
    EXPECT_LE(FolderBytes(), std::uintmax_t{100} * 1024);
    EXPECT_FALSE(logo_cache::Get(server.url("/l0.png")).has_value()) << "the oldest went";
    EXPECT_TRUE(logo_cache::Get(server.url("/l5.png")).has_value()) << "the newest stayed";

    server.route("/huge.png", 200, std::string(logo_cache::kMaxLogoBytes + 1, 'h'), "image/png");
    EXPECT_FALSE(logo_cache::Get(server.url("/huge.png")).has_value());
    server.route("/missing.png", 404, "not found");
    EXPECT_FALSE(logo_cache::Get(server.url("/missing.png")).has_value());
    EXPECT_FALSE(logo_cache::Get("file:///etc/passwd").has_value());
    EXPECT_FALSE(logo_cache::Get("ftp://127.0.0.1/x.png").has_value());
}

// A logo named by a list from the internet is not fetched from this computer or its network;
// one that breaks off or trickles is not kept, and gives up within the logo's time limit.
TEST_F(LogoCache, AFarListsLogoOnANearServerIsNeverAskedAndABrokenOneIsNotKept) {
    server.route("/near.png", 200, "png", "image/png");
    EXPECT_FALSE(logo_cache::Get(server.url("/near.png"), nullptr, logo_cache::Origin::Far).has_value());
    EXPECT_EQ(server.requests(), 0) << "no request reached the loopback server";
    EXPECT_TRUE(logo_cache::Get(server.url("/near.png"), nullptr, logo_cache::Origin::Own).has_value());

    server.cut("/cut.png", std::string(20000, 'c'), 2000, "image/png");
    EXPECT_FALSE(logo_cache::Get(server.url("/cut.png")).has_value());
    server.route("/cut.png", 404, "gone");
    EXPECT_FALSE(logo_cache::Get(server.url("/cut.png")).has_value()) << "the broken-off part was not kept";
}
