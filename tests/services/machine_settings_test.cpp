#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sqlite3.h>
#endif

#include "base/app.h"
#include "registry/reg_api.h"
#include "registry/registry_access.h"
#include "registry_fixture.h"
#include "services/machine_settings.h"
#include "services/settings.h"

namespace {
class MachineSettings : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        m_saved = App::Info();
        AppInfo info = App::BuildInfo();
        info.companyName = " Marlu ";  // trimmed when the key path is made
        App::Configure(info);
    }
    void TearDown() override {
        machine_settings::SetPermissionPrompt({});
        App::Configure(m_saved);
        RegistryTest::TearDown();
    }
    // The machine hive cannot be written; the user's hive (and so the user's copy of the
    // machine's settings) still can.
    void BlockMachineHive() {
        dir.write("blocked", "a file");
        SetHiveFolders(dir / "blocked" / "machine", dir / "user");
    }
    // Neither hive can be written.
    void BlockBothHives() {
        dir.write("blocked", "a file");
        SetHiveFolders(dir / "blocked" / "machine", dir / "blocked" / "user");
    }
    ScopedConfigHome home;

private:
    AppInfo m_saved;
};
}  // namespace

TEST_F(MachineSettings, WrittenValuesLiveUnderSoftwareCompanyAppSection) {
    SaveMachineSetting("Marlu Viewer", "Settings", "chkSplash", "1");
    EXPECT_EQ(reg.ReadString("HKLM\\SOFTWARE\\Marlu\\Marlu Viewer\\Settings", "chkSplash", ""), "1");
    EXPECT_EQ(GetMachineSetting(" Marlu Viewer ", "Settings", "chkSplash", "0"), "1");
}

TEST_F(MachineSettings, MissingKeyOrValueGivesTheDefault) {
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "dflt"), "dflt");
    SaveMachineSetting("Marlu Viewer", "Settings", "other", "x");
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "dflt"), "dflt");
}

TEST_F(MachineSettings, StoredEmptyStringReadsBackEmpty) {
    SaveMachineSetting("Marlu Viewer", "Settings", "showHelp", "");
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "showHelp", "1"), "");
}

TEST_F(MachineSettings, ANumberRaisesRegistryDataNotAString) {
    reg.WriteDWORD("HKLM\\SOFTWARE\\Marlu\\Marlu Viewer\\Settings", "chkSplash", 1);
    try {
        GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "0");
        FAIL() << "no error raised";
    } catch (const VbError& e) {
        EXPECT_EQ(e.number, static_cast<long>(static_cast<std::int32_t>(0x800407D0u)) + 4);
        EXPECT_STREQ(e.what(), "Registry data not a string");
    }
}

TEST_F(MachineSettings, BlankNamesRaiseBeforeTheStoreIsTouched) {
#ifndef _WIN32
    BlockMachineHive();  // any access to the store would not raise these
#endif
    const struct {
        const char *app, *section, *key;
        std::uint32_t number;
        const char* text;
    } cases[] = {{"  ", "S", "K", 0x800403E8u, "AppName may not be empty"},
                 {"A", "", "K", 0x800403E9u, "Section may not be empty"},
                 {"A", "S", " ", 0x800403EAu, "Key may not be empty"},
                 {"", "", "", 0x800403E8u, "AppName may not be empty"}};
    for (const auto& c : cases) {
        try {
            GetMachineSetting(c.app, c.section, c.key, "d");
            ADD_FAILURE() << c.text;
        } catch (const VbError& e) {
            EXPECT_EQ(e.number, static_cast<long>(static_cast<std::int32_t>(c.number)));
            EXPECT_STREQ(e.what(), c.text);
        }
    }
}

#ifndef _WIN32  // an unwritable machine hive is made from its folder here
TEST_F(MachineSettings, RefusedWriteAsksAndIgnoreSilencesTheDialogForGood) {
    BlockBothHives();
    std::vector<std::string> shown;
    machine_settings::SetPermissionPrompt([&](const std::string& title, const std::string& text) {
        EXPECT_EQ(title, "Permission Denied");
        shown.push_back(text);
        return machine_settings::PermissionAnswer::Ignore;
    });
    SaveMachineSetting("Marlu Viewer", "Settings", "showHelp", "0");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], machine_settings::PermissionDeniedText("Marlu Viewer"));
    EXPECT_TRUE(shown[0].starts_with("Marlu Viewer requires read/write access"));
    EXPECT_NE(shown[0].find(".\r\n\r\nIf you would like"), std::string::npos);
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "IgnorePermissionDeniedError", "0"), "1");
    SaveMachineSetting("Marlu Viewer", "Settings", "showHelp", "0");
    EXPECT_EQ(shown.size(), 1u);  // silenced
}

TEST_F(MachineSettings, RetryRepeatsTheFailedStepAndAbortEndsTheWrite) {
    BlockBothHives();
    int asked = 0;
    machine_settings::SetPermissionPrompt([&](const std::string&, const std::string&) {
        // The first answer frees the hive and retries; the write then goes through.
        if (++asked == 1) {
            SetHiveFolders(dir / "machine", dir / "user");
            return machine_settings::PermissionAnswer::Retry;
        }
        return machine_settings::PermissionAnswer::Abort;
    });
    SaveMachineSetting("Marlu Viewer", "Settings", "showHelp", "0");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "showHelp", "1"), "0");
    BlockBothHives();
    SaveMachineSetting("Marlu Viewer", "Settings", "showHelp", "1");  // Abort
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "IgnorePermissionDeniedError", "0"), "0");
}

TEST_F(MachineSettings, ARefusedMachineWriteGoesToTheUsersCopyWhichReadsSeeFirstWithoutADialog) {
    BlockMachineHive();
    int asked = 0;
    machine_settings::SetPermissionPrompt([&](const std::string&, const std::string&) {
        ++asked;
        return machine_settings::PermissionAnswer::Abort;
    });
    SaveMachineSetting("Marlu Viewer", "Settings", "showHelp", "0");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "showHelp", "1"), "0");
    EXPECT_FALSE(std::filesystem::exists(dir / "blocked" / "machine"));
    clsRegistryAccess reg;
    EXPECT_EQ(reg.ReadString("HKCU\\Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Marlu\\Marlu Viewer\\Settings",
                             "showHelp", "none"),
              "0");
}

TEST_F(MachineSettings, TheUsersCopyHidesTheMachineValueUntilTheMachineTakesAWriteAgain) {
    clsRegistryAccess reg;
    reg.WriteString("HKLM\\SOFTWARE\\Marlu\\Marlu Viewer\\Settings", "chkSplash", "0");
    reg.WriteString("HKCU\\Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Marlu\\Marlu Viewer\\Settings",
                    "chkSplash", "1");
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "x"), "1");
    SaveMachineSetting("Marlu Viewer", "Settings", "chkSplash", "2");  // the machine takes it now
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "x"), "2");
    EXPECT_FALSE(reg.ValueExists(
        "HKCU\\Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Marlu\\Marlu Viewer\\Settings", "chkSplash"));
}
#endif

#ifndef _WIN32  // the hives are files here; on Windows they are the system's registry
TEST_F(MachineSettings, ReadingMakesNoHiveFileAndNoFolder) {
    SetHiveFolders(dir / "machine-never", dir / "user-never");
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "0"), "0");
    clsRegistryAccess reg;
    EXPECT_FALSE(reg.KeyExists("HKLM\\SOFTWARE\\Marlu"));
    EXPECT_EQ(reg.ReadString("HKCU\\Software\\Anything", "x", "d"), "d");
    EXPECT_FALSE(std::filesystem::exists(dir / "machine-never"));
    EXPECT_FALSE(std::filesystem::exists(dir / "user-never"));
    SaveMachineSetting("Marlu Viewer", "Settings", "chkSplash", "1");  // a write makes the hive
    EXPECT_TRUE(std::filesystem::exists(dir / "machine-never" / "HKEY_LOCAL_MACHINE.hive"));
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "0"), "1");
}
#endif

#ifndef _WIN32
// A damaged machine hive, or one another program keeps locked, never stops the program: reads
// give their defaults, a damaged file is kept aside (never overwritten), the user is told once.
TEST_F(MachineSettings, ADamagedHiveIsMovedAsideAndReadsGiveDefaults) {
    SaveMachineSetting("Marlu Viewer", "Settings", "chkSplash", "1");
    const auto file = dir / "machine" / "HKEY_LOCAL_MACHINE.hive";
    const std::string sound = dir.read("machine/HKEY_LOCAL_MACHINE.hive");
    std::string random(4096, '\0');
    for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<char>((i * 7919 + 13) % 251);
    for (const std::string& damaged : {random, sound.substr(0, sound.size() / 2)}) {
        std::vector<std::string> told;
        hives::SetProblemReporter([&](const std::string& text) { told.push_back(text); });
        SetHiveFolders(dir / "machine", dir / "user");  // a new start
        std::filesystem::remove(dir / "machine" / "HKEY_LOCAL_MACHINE.hive.damaged");
        dir.write("machine/HKEY_LOCAL_MACHINE.hive", damaged);

        EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "dflt"), "dflt");
        EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "other", "dflt"), "dflt");
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find("damaged"), std::string::npos) << told[0];
        EXPECT_EQ(dir.read("machine/HKEY_LOCAL_MACHINE.hive.damaged"), damaged);
        // Settings can be saved again, in a new file.
        SaveMachineSetting("Marlu Viewer", "Settings", "chkSplash", "0");
        EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "dflt"), "0");
        EXPECT_TRUE(std::filesystem::exists(file));
        EXPECT_EQ(told.size(), 1u);
        hives::SetProblemReporter({});
    }
}

TEST_F(MachineSettings, AHiveLockedByAnotherProgramReadsAsDefaultsAfterAShortWait) {
    SaveMachineSetting("Marlu Viewer", "Settings", "chkSplash", "1");
    const auto file = dir / "machine" / "HKEY_LOCAL_MACHINE.hive";
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; UPDATE vals SET data=data;", nullptr, nullptr, nullptr), SQLITE_OK);

    std::vector<std::string> told;
    hives::SetProblemReporter([&](const std::string& text) { told.push_back(text); });
    SetHiveFolders(dir / "machine", dir / "user");  // a new start
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "dflt"), "dflt");
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "dflt"), "dflt");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("locked"), std::string::npos) << told[0];
    hives::SetProblemReporter({});

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_FALSE(std::filesystem::exists(dir / "machine" / "HKEY_LOCAL_MACHINE.hive.damaged"));
    SetHiveFolders(dir / "machine", dir / "user");  // the next start reads it again
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "chkSplash", "dflt"), "1");
}
#endif
