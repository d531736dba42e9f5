#pragma once
// The main window for tests of playlist sources and their guide: what they keep in the user's
// data folder (shared by the test program) goes after each test.
#include <QDateTime>
#include <QTimeZone>
#include <filesystem>

#include "catalogue/channel_extras.h"
#include "catalogue/playlist_sources.h"
#include "guide/guide_store.h"
#include "windows/main_window_fixture.h"

namespace test {

class SourceWindow : public MainWindow {
protected:
    void TearDown() override {
        MainWindow::TearDown();
        std::error_code ec;
        for (const auto& file : {catalogue::ExtrasPath(), sources::SourcesPath(), sources::CopyPath({}).parent_path(),
                                 guide::CachePath(), guide::IdsPath()})
            std::filesystem::remove_all(file, ec);
    }
};

// A time as an XMLTV guide writes it.
inline QString XmltvAt(qint64 t) {
    return QDateTime::fromSecsSinceEpoch(t, QTimeZone::utc()).toString(QStringLiteral("yyyyMMddhhmmss +0000"));
}

}  // namespace test
