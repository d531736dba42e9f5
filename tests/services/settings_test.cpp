#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "base/file_io.h"
#include "base/vb_error.h"
#include "services/settings.h"
#include "support/temp_dir.h"

TEST(Settings, UnwrittenKeysReadAsTheDefault) {
    ScopedConfigHome home;
    EXPECT_EQ(GetSetting("App", "Settings", "TVLang", "English"), "English");
}

TEST(Settings, WrittenValuesComeBackPerApplicationAndSection) {
    ScopedConfigHome home;
    SaveSetting("App", "Settings", "TVLang", "French");
    SaveSetting("App", "Other", "TVLang", "German");
    SaveSetting("Other App", "Settings", "TVLang", "Dutch");
    SaveSetting("App", "Settings", "TVLang", "All");
    EXPECT_EQ(GetSetting("App", "Settings", "TVLang", "English"), "All");
    EXPECT_EQ(GetSetting("App", "Other", "TVLang", ""), "German");
    EXPECT_EQ(GetSetting("Other App", "Settings", "TVLang", ""), "Dutch");
    EXPECT_TRUE(std::filesystem::exists(settings::StoreFile("App")));
    EXPECT_TRUE(settings::StoreFile("App").string().starts_with(home.path().string()));
}

TEST(Settings, KeysIgnoreLetterCase) {
    ScopedConfigHome home;
    SaveSetting("App", "Settings", "showHelp", "0");
    EXPECT_EQ(GetSetting("App", "SETTINGS", "SHOWHELP", "1"), "0");
    SaveSetting("App", "settings", "ShowHelp", "1");
    EXPECT_EQ(GetSetting("App", "Settings", "showHelp", "x"), "1");
}

TEST(Settings, AnyTextSurvives) {
    ScopedConfigHome home;
    const std::string tricky = "a=b\\c\r\nd [x] ;e \xE9";
    SaveSetting("App", "Sec]tion", "k=ey", tricky);
    SaveSetting("App", "Sec]tion", "empty", "");
    EXPECT_EQ(GetSetting("App", "Sec]tion", "k=ey", ""), tricky);
    EXPECT_EQ(GetSetting("App", "Sec]tion", "empty", "default"), "");
}

TEST(Settings, ApplicationNamesCannotEscapeTheStoreFolder) {
    ScopedConfigHome home;
    SaveSetting("../../evil", "S", "k", "v");
    EXPECT_EQ(GetSetting("../../evil", "S", "k", ""), "v");
    const auto file = settings::StoreFile("../../evil");
    EXPECT_EQ(file.parent_path().parent_path(), home.path());
}

TEST(Settings, FailedWriteThrowsAndKeepsTheOldValues) {
    ScopedConfigHome home;
    SaveSetting("App", "Settings", "TVLang", "French");
    base::InjectWriteFailure(base::WriteStep::Rename);
    EXPECT_THROW(SaveSetting("App", "Settings", "TVLang", "German"), VbError);
    base::InjectWriteFailure(std::nullopt);
    EXPECT_EQ(GetSetting("App", "Settings", "TVLang", ""), "French");
}

TEST(Settings, KeysThatLookLikeCommentsOrSectionsReadBack) {
    ScopedConfigHome home;
    for (const char* key : {";semi", "#hash", "[bracket", "[whole]", "\\back"}) {
        SaveSetting("App", "Settings", key, std::string("v") + key);
        EXPECT_EQ(GetSetting("App", "Settings", key, "default"), std::string("v") + key) << key;
    }
    SaveSetting("App", "Settings", "plain", "p");  // the section is still one section
    EXPECT_EQ(GetSetting("App", "Settings", "[whole]", ""), "v[whole]");
}

// A store that is there but cannot be read is not replaced by one holding the new key alone.
TEST(Settings, AnUnreadableStoreIsNeverWritten) {
    ScopedConfigHome home;
    SaveSetting("App", "Settings", "TVLang", "French");
    const auto file = settings::StoreFile("App");
    const std::string before = *base::ReadFileCapped(file, 1 << 20);

    // Over the size cap: reads give defaults, a save is refused.
    std::string big = before + "\n[Filler]\n";
    while (big.size() <= 9u * 1024 * 1024) big += "key" + std::to_string(big.size()) + "=value\n";
    ASSERT_TRUE(base::ReplaceFileAtomically(file, big));
    try {
        SaveSetting("App", "Settings", "showHelp", "0");
        ADD_FAILURE() << "the save went through";
    } catch (const VbError& e) {
        EXPECT_EQ(e.number, 75);
        EXPECT_STREQ(e.what(), settings::kUnreadableStore);
    }
    EXPECT_EQ(std::filesystem::file_size(file), big.size());

    // A folder where the file should be.
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_THROW(SaveSetting("App", "Settings", "showHelp", "0"), VbError);
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

// Two writers saving at the same time: each one's read, change and write happen in turn.
TEST(Settings, ConcurrentSavesKeepEveryKey) {
    ScopedConfigHome home;
    constexpr int kKeys = 150;
    auto writer = [](char who) {
        for (int i = 0; i < kKeys; ++i) SaveSetting("App", "Settings", who + std::to_string(i), "v");
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    int kept = 0;
    for (char who : {'a', 'b'})
        for (int i = 0; i < kKeys; ++i) kept += GetSetting("App", "Settings", who + std::to_string(i), "") == "v";
    EXPECT_EQ(kept, 2 * kKeys);
}
