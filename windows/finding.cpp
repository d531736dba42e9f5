// The window's part of finding beyond the list on show: what the index is made of (the
// catalogue's lines, every playlist source's copy, the favourites, the guide), and what a
// choice does (plays the channel with its stream options, or opens the guide's grid at the
// programme).
#include <QDateTime>
#include <QToolButton>
#include <algorithm>

#include "base/file_io.h"
#include "base/program_files.h"
#include "base/windows1252.h"
#include "catalogue/channel_lines.h"
#include "catalogue/channel_list.h"
#include "catalogue/playlist.h"
#include "catalogue/playlist_sources.h"
#include "player/player_pane.h"
#include "widgets/list_view.h"
#include "widgets/qt_text.h"
#include "windows/background_jobs.h"
#include "windows/find_elsewhere.h"
#include "windows/main_window.h"

void Form1::connectFinding() {
    FindElsewhere::Hooks hooks;
    hooks.prepare = [this] { return findIndexWork(); };
    hooks.shownList = [this](const ListView* list) -> std::string {
        if (list == ListView2) return "fav";
        return m_shown.id.empty() ? "cat:" + CurrentCategory : m_shown.id;
    };
    hooks.play = [this](const find_index::Channel& c) {
        const QString address = Utf8ToQt(c.address);
        WindowsMediaPlayer1->setStreamOptions(address, c.options);
        play(address, Utf8ToQt(c.name), false, nullptr);
    };
    hooks.openGuide = [this](const find_index::Programme& p, const find_index::Channel& c) {
        // Found again in the guide as it is now (the grid shows only the guide it holds): the
        // index may still be one made from the guide before its last update.
        const guide::Schedule* schedule = m_guide->data().find(c.tvgId, c.name);
        if (!schedule) return;
        const auto at = std::find_if(schedule->begin(), schedule->end(),
                                     [&](const guide::Programme& q) { return q.start == p.programme->start; });
        if (at == schedule->end()) return;
        ShowGuideWindow();
        showInGuide(Utf8ToQt(c.name), Utf8ToQt(c.address), schedule, &*at);
    };
    m_find = new FindElsewhere({ListView1, ListView2}, std::move(hooks), this);
    connect(m_shelf, &SourceShelf::changed, m_find, &FindElsewhere::invalidate);
    connect(m_shelf, &SourceShelf::refreshed, m_find, &FindElsewhere::invalidate);
    connect(m_guide, &GuideUpdates::cacheLoaded, m_find, &FindElsewhere::invalidate);
    connect(m_guide, &GuideUpdates::finished, m_find, &FindElsewhere::invalidate);
    connect(ListView2->channels(), &QAbstractItemModel::rowsInserted, m_find, &FindElsewhere::invalidate);
    connect(ListView2->channels(), &QAbstractItemModel::rowsRemoved, m_find, &FindElsewhere::invalidate);
    connect(ListView2->channels(), &QAbstractItemModel::modelReset, m_find, &FindElsewhere::invalidate);
}

std::function<std::shared_ptr<const find_index::Index>()> Form1::findIndexWork() const {
    struct SourceCopy {
        std::string id, name, origin;
        std::filesystem::path copy;
    };
    std::vector<SourceCopy> copies;
    for (const sources::Source& s : m_shelf->list()) copies.push_back({s.id, s.name, s.origin, sources::CopyPath(s)});
    std::vector<find_index::Channel> favourites;
    for (const ListRow& row : ListView2->rows()) {
        const catalogue::ChannelExtras* extras = extrasOf(ListView2, row);
        favourites.push_back({row.name, row.address, extras ? extras->options : std::string(), "fav",
                              ToUtf8(cmdFavorites->text().remove(QLatin1Char('&'))), tvgIdOf(row.address)});
    }
    std::map<std::string, std::string> categoryNames;
    for (const auto& [category, button] : {std::pair{"TV", cmdTV}, {"Radio", cmdRadio}, {"Video", cmdVideo}})
        categoryNames[category] = ToUtf8(button->text().remove(QLatin1Char('&')));
    return [copies = std::move(copies), favourites = std::move(favourites), categoryNames = std::move(categoryNames),
            ids = m_tvgIds, catalogue = program_files::ReadPath("Data.txt"),
            guide = m_guide->cache()]() -> std::shared_ptr<const find_index::Index> {
        auto index = std::make_shared<find_index::Index>();
        if (const auto text = base::ReadFileCapped(catalogue, catalogue::kMaxCatalogueBytes))
            catalogue::ForEachChannelLine(*text, [&](const catalogue::LineFields& f) {
                const std::string category(f.category);
                const auto name = categoryNames.find(category);
                const std::string address = cp1252::ToUtf8(f.address);
                const auto id = ids.find(address);
                index->add({cp1252::ToUtf8(f.name),
                            address,
                            {},
                            "cat:" + category,
                            name == categoryNames.end() ? cp1252::ToUtf8(category) : name->second,
                            id == ids.end() ? std::string() : id->second});
            });
        for (const SourceCopy& s : copies) {
            const auto text = base::ReadFileCapped(s.copy, playlist::kMaxBytes);
            if (!text) continue;
            for (playlist::Entry& e : playlist::Read(*text, s.origin).entries)
                index->add({e.name.empty() ? e.address : std::move(e.name), std::move(e.address), std::move(e.options),
                            s.id, s.name, std::move(e.tvgId)});
        }
        for (const find_index::Channel& c : favourites) index->add(c);
        if (guide) index->addGuide(guide, guide->data, QDateTime::currentSecsSinceEpoch());
        return index;
    };
}
