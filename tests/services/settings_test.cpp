#include <gtest/gtest.h>

#include <filesystem>

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
