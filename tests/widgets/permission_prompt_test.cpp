#include <gtest/gtest.h>

#include <QMessageBox>

#include "base/app.h"
#include "registry/hives.h"
#include "services/machine_settings.h"
#include "services/settings.h"
#include "support/modal_watcher.h"
#include "support/temp_dir.h"
#include "widgets/permission_prompt.h"

TEST(PermissionPrompt, RefusedMachineWriteAsksInAMessageBoxAndIgnoreIsRemembered) {
    TempDir dir;
    ScopedConfigHome home;
    dir.write("blocked", "a file");  // neither hive's folder can be made
    SetHiveFolders(dir / "blocked" / "machine", dir / "blocked" / "user");
    InstallPermissionPrompt();
    {
        ModalWatcher watcher(QMessageBox::Ignore);
        SaveMachineSetting(App::Info().productName, "Settings", "showHelp", "0");
        ASSERT_EQ(watcher.titles(), QStringList{QStringLiteral("Permission Denied")});
        EXPECT_TRUE(watcher.texts()[0].startsWith(QString::fromStdString(App::Info().productName) +
                                                  QStringLiteral(" requires read/write access")));
    }
    EXPECT_EQ(GetSetting(App::Info().productName, "Settings", "IgnorePermissionDeniedError", "0"), "1");
    ModalWatcher watcher;
    SaveMachineSetting(App::Info().productName, "Settings", "showHelp", "0");
    EXPECT_TRUE(watcher.texts().isEmpty());
    machine_settings::SetPermissionPrompt({});
    SetHiveFolders(dir / "m", dir / "u");
}
