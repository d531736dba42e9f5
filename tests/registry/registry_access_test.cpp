
#include <algorithm>
#include <filesystem>
#include <map>

#include "registry/reg_api.h"
#include "registry_fixture.h"

using Names = std::vector<std::string>;

TEST_F(RegistryTest, LongAndShortHiveNamesInAnyCaseAddressTheSameKey) {
    ASSERT_NE(reg.WriteString("HKEY_CURRENT_USER\\Software\\Marlu", "Name", "value"), 0);
    EXPECT_EQ(reg.ReadString("hkcu\\Software\\Marlu", "Name", "default"), "value");
    EXPECT_EQ(reg.ReadString("HKCU\\SOFTWARE\\marlu", "name", "default"), "value");  // keys and names ignore case
    EXPECT_TRUE(reg.KeyExists("HKCU"));
    EXPECT_TRUE(reg.HaveSubkey("HKCU"));
    EXPECT_EQ(reg.ReadString("HKLM\\Software\\Marlu", "Name", "default"), "default");  // another hive
    EXPECT_EQ(reg.ReadString("HKXX\\Software\\Marlu", "Name", "default"), "default");  // no such hive
    EXPECT_EQ(reg.WriteString("HKXX\\Software", "Name", "v"), 0);
}

TEST_F(RegistryTest, KeysKeepTheLetterCaseTheyWereMadeWith) {
    reg.CreateKey("HKCU\\Software\\MixedCase");
    reg.CreateKey("HKCU\\software\\MIXEDCASE\\Child");
    Names names;
    EXPECT_GE(reg.EnumKeys("HKCU\\Software", names), 1);
    EXPECT_NE(std::find(names.begin(), names.end(), "MixedCase"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "MIXEDCASE"), names.end());
}

TEST_F(RegistryTest, WritesCreateMissingKeysOnlyWhenAllowed) {
    reg.CreateKeyIfDoesntExists(false);
    EXPECT_EQ(reg.WriteString("HKCU\\Software\\New", "a", "b"), 0);
    EXPECT_FALSE(reg.KeyExists("HKCU\\Software\\New"));
    reg.CreateKeyIfDoesntExists(true);
    EXPECT_NE(reg.WriteString("HKCU\\Software\\New", "a", "b"), 0);
    EXPECT_TRUE(reg.KeyExists("HKCU\\Software\\New"));
}

TEST_F(RegistryTest, AtIsTheDefaultValueForWriteString) {
    reg.WriteString("HKCU\\K", "@", "default text");
    EXPECT_EQ(reg.ReadString("HKCU\\K", "", "none"), "default text");
    EXPECT_FALSE(reg.ValueExists("HKCU\\K", "@"));
}

TEST_F(RegistryTest, StringsOfAnyLengthAndWindows1252BytesComeBack) {
    const std::string longText(5000, 'x');
    reg.WriteString("HKCU\\K", "long", longText);
    EXPECT_EQ(reg.ReadString("HKCU\\K", "long", ""), longText);
    EXPECT_TRUE(reg.ValueExists("HKCU\\K", "long"));
    reg.WriteString("HKCU\\K", "accents", "\xC9t\xE9 \x80");
    EXPECT_EQ(reg.ReadString("HKCU\\K", "accents", ""), "\xC9t\xE9 \x80");
    reg.WriteString("HKCU\\K", "blanks", "  padded  ");
    EXPECT_EQ(reg.ReadString("HKCU\\K", "blanks", ""), "padded");  // surrounding blanks are trimmed
}

TEST_F(RegistryTest, DwordsIncludingNegativeOnes) {
    reg.WriteDWORD("HKCU\\K", "n", 26);
    reg.WriteDWORD("HKCU\\K", "neg", -2);
    EXPECT_EQ(reg.ReadDWORD("HKCU\\K", "n", 0), 26);
    EXPECT_EQ(reg.ReadDWORD("HKCU\\K", "neg", 0), -2);
    EXPECT_EQ(reg.ReadDWORD("HKCU\\K", "missing", 7), 7);
    reg.WriteString("HKCU\\K", "text", "longer than four");
    EXPECT_EQ(reg.ReadDWORD("HKCU\\K", "text", 9), 9);
}

TEST_F(RegistryTest, BinaryValuesTravelAsHexText) {
    reg.WriteBinary("HKCU\\K", "b", "01 ff 00");
    EXPECT_EQ(reg.ReadBinary("HKCU\\K", "b", "none"), "01 FF 00");
    reg.WriteBinary("HKCU\\K", "empty", "");
    EXPECT_TRUE(reg.ValueExists("HKCU\\K", "empty"));
    EXPECT_EQ(reg.ReadBinary("HKCU\\K", "empty", "none"), "");
    EXPECT_EQ(reg.ReadBinary("HKCU\\K", "missing", "none"), "none");
}

TEST_F(RegistryTest, HexHelpers) {
    EXPECT_EQ(reg.BinToStr(std::string("\x0A\xFF", 2)), " 0A FF");
    EXPECT_EQ(reg.StrToBin(" 0A FF"), std::string("\x0A\xFF", 2));
    EXPECT_EQ(reg.StrToBin("00"), std::string(1, '\0'));
    EXPECT_EQ(reg.StrToBin("0A F"), std::string("\x0A\x0F", 2));  // a lone last digit is a byte
    EXPECT_EQ(reg.BinToStr(""), "");
    EXPECT_FALSE(reg.isBinValid(""));
    EXPECT_FALSE(reg.isBinValid("   "));
    EXPECT_FALSE(reg.isBinValid("0G"));
    EXPECT_TRUE(reg.isBinValid("0a FF 1"));
}

TEST_F(RegistryTest, KillValueAndKillKey) {
    reg.WriteString("HKCU\\A\\B", "v", "x");
    EXPECT_NE(reg.KillValue("HKCU\\A\\B", "v"), 0);
    EXPECT_FALSE(reg.ValueExists("HKCU\\A\\B", "v"));
    // A key with sub-keys is not deleted; the handle comes back all the same.
    EXPECT_NE(reg.KillKey("HKCU\\A"), 0);
    EXPECT_TRUE(reg.KeyExists("HKCU\\A"));
    EXPECT_NE(reg.KillKey("HKCU\\A\\B"), 0);
    EXPECT_NE(reg.KillKey("HKCU\\A"), 0);
    EXPECT_FALSE(reg.KeyExists("HKCU\\A"));
    EXPECT_EQ(reg.KillKey("HKCU\\A"), 0);  // gone
    EXPECT_EQ(reg.KillValue("HKCU\\Missing", "v"), 0);
}

TEST_F(RegistryTest, EnumerationWithEachTypeFilter) {
    reg.WriteString("HKCU\\E", "s1", "one");
    reg.WriteDWORD("HKCU\\E", "d", 26);
    reg.WriteBinary("HKCU\\E", "b", "01 FF");
    reg.WriteString("HKCU\\E", "s2", "two");
    Names names, values;
    EXPECT_EQ(reg.EnumValues("HKCU\\E", names, values, 1), 2);
    EXPECT_EQ(names, (Names{"s1", "s2"}));
    EXPECT_EQ(values, (Names{"one", "two"}));
    EXPECT_EQ(reg.EnumValues("HKCU\\E", names, values, 4), 1);
    EXPECT_EQ(values, Names{"26"});
    EXPECT_EQ(reg.EnumValues("HKCU\\E", names, values, -1), 4);
    std::map<std::string, std::string> all;
    for (std::size_t i = 0; i < names.size(); ++i) all[names[i]] = values[i];
    EXPECT_EQ(all, (std::map<std::string, std::string>{{"s1", "one"}, {"d", "26"}, {"b", "01 FF"}, {"s2", "two"}}));
#ifndef _WIN32
    EXPECT_EQ(names, (Names{"s1", "d", "b", "s2"}));  // hive files keep the order they were made in
#endif
    EXPECT_EQ(reg.EnumValues("HKCU\\Missing", names, values, -1), -1);
    EXPECT_TRUE(names.empty());
    reg.CreateKey("HKCU\\E\\zeta");
    reg.CreateKey("HKCU\\E\\Alpha");
    EXPECT_EQ(reg.EnumKeys("HKCU\\E", names), 2);
    EXPECT_EQ(names, (Names{"Alpha", "zeta"}));
    EXPECT_EQ(reg.EnumKeys("HKCU\\Missing", names), -1);
    EXPECT_FALSE(reg.HaveSubkey("HKCU\\E\\zeta"));
}

#ifndef _WIN32  // hive files: the platforms without a registry
TEST_F(RegistryTest, HivesLiveInTheirFolders) {
    reg.WriteString("HKCU\\K", "a", "b");
    reg.WriteString("HKLM\\K", "a", "b");
    EXPECT_TRUE(std::filesystem::exists(dir / "user" / "HKEY_CURRENT_USER.hive"));
    EXPECT_TRUE(std::filesystem::exists(dir / "machine" / "HKEY_LOCAL_MACHINE.hive"));
}

TEST_F(RegistryTest, AnUnwritableMachineFolderRefusesWritesWithAccessDeniedAndStillReads) {
    reg.WriteString("HKLM\\Software\\Marlu", "kept", "yes");
    // A folder that cannot be made (its parent is a file) stands for one the account may not write.
    dir.write("blocked", "a file");
    SetHiveFolders(dir / "blocked" / "machine", dir / "user");
    EXPECT_EQ(reg.WriteString("HKLM\\Software\\Marlu", "a", "b"), 0);
    reg::Key key = 0;
    EXPECT_EQ(reg::CreateKey(reg::kLocalMachine, "Software\\Marlu", &key), reg::kAccessDenied);
    EXPECT_EQ(reg.ReadString("HKLM\\Software\\Marlu", "a", "default"), "default");
    EXPECT_NE(reg.WriteString("HKCU\\Software\\Marlu", "a", "b"), 0);  // the user's hive still works
}

TEST_F(RegistryTest, AReadOnlyHiveFileReadsButRefusesWrites) {
    reg.WriteString("HKLM\\Software\\Marlu", "kept", "yes");
    const auto file = dir / "machine" / "HKEY_LOCAL_MACHINE.hive";
    SetHiveFolders(dir / "machine", dir / "user");  // close it
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    if (RunningAsRoot()) GTEST_SKIP() << "root writes read-only files";
    EXPECT_EQ(reg.ReadString("HKLM\\Software\\Marlu", "kept", ""), "yes");
    EXPECT_EQ(reg.WriteString("HKLM\\Software\\Marlu", "a", "b"), 0);
}

// Such a file is kept aside whole, and the hive starts afresh beside it.
TEST_F(RegistryTest, AFileThatIsNoHiveIsKeptAsideAndNeverOverwritten) {
    std::filesystem::create_directories(dir / "machine");
    dir.write("machine/HKEY_LOCAL_MACHINE.hive", std::string(4096, '\x5A'));
    SetHiveFolders(dir / "machine", dir / "user");
    EXPECT_EQ(reg.ReadString("HKLM\\K", "a", "default"), "default");
    EXPECT_EQ(dir.read("machine/HKEY_LOCAL_MACHINE.hive.damaged"), std::string(4096, '\x5A'));
    EXPECT_NE(reg.WriteString("HKLM\\K", "a", "b"), 0);
    EXPECT_EQ(reg.ReadString("HKLM\\K", "a", "default"), "b");
    EXPECT_EQ(dir.read("machine/HKEY_LOCAL_MACHINE.hive.damaged"), std::string(4096, '\x5A'));
}

#endif

TEST_F(RegistryTest, HandlesFollowTheWin32Rules) {
    reg::Key key = 0;
    ASSERT_EQ(reg::CreateKey(reg::kCurrentUser, "A\\B", &key), reg::kSuccess);
    reg::Key readOnly = 0;
    ASSERT_EQ(reg::OpenKey(reg::kCurrentUser, "A\\B", reg::kRead, &readOnly), reg::kSuccess);
    EXPECT_EQ(reg::SetValue(readOnly, "x", reg::kSz, "y"), reg::kAccessDenied);
    EXPECT_EQ(reg::SetValue(key, "x", reg::kSz, "y"), reg::kSuccess);
    EXPECT_EQ(reg::DeleteKey(reg::kCurrentUser, "A\\B"), reg::kSuccess);
    EXPECT_NE(reg::QueryValue(readOnly, "x", nullptr, nullptr), reg::kSuccess);  // the key is gone
    EXPECT_EQ(reg::CloseKey(key), reg::kSuccess);
    EXPECT_EQ(reg::CloseKey(key), reg::kInvalidHandle);
    EXPECT_NE(reg::OpenKey(reg::kCurrentUser, std::string(300, 'n'), reg::kRead, &key), reg::kSuccess);
    reg::CloseKey(readOnly);
}
