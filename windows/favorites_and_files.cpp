// The favourites (read, kept whole when they cannot be changed, saved) and the local-files
// browser.
#include "windows/main_window.h"

#include <QGroupBox>
#include <QStorageInfo>

#include "base/file_io.h"
#include "base/file_utils.h"
#include "base/program_files.h"
#include "catalogue/favorites.h"
#include "localisation/code_page_text.h"
#include "player/player_pane.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "widgets/file_browser.h"
#include "widgets/list_view.h"
#include "widgets/message_box.h"
#include "widgets/qt_text.h"

namespace {
// The favourites are the user's own: a Favorites.txt in the program folder never replaces the
// user's copy, however new it is.
std::filesystem::path FavoritesFile() {
    return program_files::ReadPath("Favorites.txt", program_files::Kind::UsersOwn);
}
}  // namespace

void Form1::LoadFavorites() {
    m_favoritesUnreadable = !readFavorites();
    if (m_favoritesUnreadable)
        ShowMessage(this,
                    QStringLiteral("Your favorites could not be read from %1.").arg(ToQt(FavoritesFile().string())));
}

bool Form1::readFavorites() {
    const std::filesystem::path file = FavoritesFile();
    if (!xfileExists::FileExists(file.string())) return true;  // none yet: an empty list
    const auto text = base::ReadFileCapped(file, catalogue::kMaxFavoritesBytes);
    if (!text) return false;
    std::vector<ListRow> rows = ListRow::FromCatalogue(*text);
    for (ListRow& row : rows)
        if (const auto extras = m_extras.find(row.address); extras != m_extras.end()) row.takeFullTexts(extras->second);
    ListView2->channels()->appendRows(std::move(rows));
    return true;
}

bool Form1::favoritesChangeable() {
    if (!m_favoritesUnreadable) return true;
    // The file could not be read: writing the list now would replace favourites the window never
    // showed. Try again; while it still cannot be read, nothing changes.
    ListView2->channels()->clear();
    m_favoritesUnreadable = !readFavorites();
    if (m_favoritesUnreadable)
        ShowMessage(this, QStringLiteral("Your favorites file %1 cannot be read, so your favorites cannot be changed "
                                         "now; nothing was changed.")
                              .arg(ToQt(FavoritesFile().string())));
    return !m_favoritesUnreadable;
}

bool Form1::SaveFavorites(const std::string& encodedLast, std::size_t lastRows) {
    // The whole list is written to a new file that then takes the old one's place, so a failed
    // write keeps the previous list whole and never doubles it. When it fails, the list goes back
    // to what the file holds: the window never shows favourites that are not saved.
    // The rows before `first` are encoded here; the last ones came encoded.
    const auto& rows = ListView2->rows();
    const auto first = rows.end() - static_cast<std::ptrdiff_t>(std::min(lastRows, rows.size()));
    const bool saved = writeListFile(
        "Favorites.txt",
        [&] {
            std::string text;
            for (auto row = rows.begin(); row != first; ++row) {
                const catalogue::Channel line = row->designedFields();
                catalogue::AppendEncodedLine(text, line.name, line.address, line.category, line.language);
            }
            return text + encodedLast;
        },
        QStringLiteral("A favorite is too long to be saved; your favorites were not changed."),
        QStringLiteral("Your favorites could not be saved:\n%1\n\nThe list shows your favorites as they were saved "
                       "before; the file keeps its previous contents."));
    if (!saved) {
        ListView2->channels()->clear();
        m_favoritesUnreadable = !readFavorites();
        return false;
    }
    // What the lines could not hold of the names (a Cyrillic name in a Western code page) is
    // kept beside them, so the list shows the full names after a restart. (The last rows came
    // encoded with their full texts already kept: an import of 200,000 is not walked twice.)
    bool extrasChanged = false;
    for (auto row = rows.begin(); row != first; ++row) {
        auto kept = m_extras.find(row->address);
        const bool fullTexts = kept != m_extras.end() && !(kept->second.name.empty() && kept->second.language.empty());
        if (!fullTexts && localisation::CodePageHolds(row->name) && localisation::CodePageHolds(row->language))
            continue;  // nothing to keep, nothing kept (most rows)
        if (kept == m_extras.end()) kept = m_extras.emplace(row->address, catalogue::ChannelExtras{}).first;
        extrasChanged |= row->keepFullTexts(kept->second);
        if (kept->second.empty()) m_extras.erase(kept);
    }
    if (extrasChanged) catalogue::SaveExtras(m_extras);
    return true;
}

bool Form1::writeListFile(const char* fileName, const std::function<std::string()>& encode, const QString& tooLong,
                          const QString& failed) {
    std::string bytes;
    try {
        bytes = encode();
    } catch (const std::exception&) {
        ShowMessage(this, tooLong);
        return false;
    }
    const auto written = base::ReplaceFileAtomically(program_files::WritePath(fileName), bytes);
    if (!written) ShowMessage(this, failed.arg(ToQt(written.error)));
    return bool(written);
}

void Form1::cmdFav_Click() {
    const int index = ListView1->selectedIndex();
    if (index < 0) return;  // nothing selected: nothing to add
    if (!favoritesChangeable()) return;
    ListView2->channels()->appendRow(favouriteOf(ListView1->row(index)));
    SaveFavorites();
}

void Form1::cmdFavorites_Click() {
    showingAnotherList();
    Frame3->setVisible(true);
    Frame1->setVisible(false);
    Frame4->setVisible(false);
}

void Form1::cmdFiles_Click() {
    showingAnotherList();
    Frame1->setVisible(false);
    Frame3->setVisible(false);
    Frame4->setVisible(true);
}

void Form1::Drive1_Change() {
    // The drive's current folder: the last one used on it in this run, else its root. A drive
    // that is not ready leaves the folder list alone.
    const QString drive = Drive1->drive();
    const QString folder = m_driveFolders.value(drive, drive);
    if (!Dir1->setPath(folder)) Dir1->setPath(drive);
    saveSetting(settings_keys::kDrive, FromQt(drive));
}

void Form1::Dir1_Change() {
    m_driveFolders.insert(QStorageInfo(Dir1->path()).rootPath(), Dir1->path());
    saveSetting(settings_keys::kDir, FromQt(Dir1->path()));
    File1->setPath(Dir1->path());
    File1->refresh();
}

void Form1::File1_Click() {
    // The folder, "\" (the platform's separator) and the name, exactly as composed.
    const QString name = File1->fileName();
    if (name.isEmpty()) return;
    play(File1->path() + QDir::separator() + name, name, true, File1);
}

void Form1::restoreLocalFiles() {
    // Both values are read first: restoring the drive stores that drive's folder under "Dir".
    const std::string drive = GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kDrive, "");
    const std::string dir = GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kDir, "");
    // Each assignment on its own; one that fails leaves its list as it was.
    Drive1->setDrive(ToQt(drive));
    Dir1->setPath(ToQt(dir));
    File1->setPath(ToQt(dir));
}
