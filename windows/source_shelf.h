#pragma once
// The user's playlists kept as sources of channels: the list of them, their refresh from where
// they came (in the background, conditionally for web addresses) and the reading of one for
// the channel list, off the GUI thread. The window shows what it hears.
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/channel_extras.h"
#include "catalogue/playlist_sources.h"
#include "widgets/channel_model.h"

namespace playlist {
struct Playlist;
}

class SourceShelf : public QObject {
    Q_OBJECT
public:
    // A row's key among a playlist's numbers and logos: its name and its address, so that two
    // rows of one address keep their own.
    static std::string RowKey(const ListRow& row);
    // A source's channels as the channel list shows them.
    struct Channels {
        std::vector<ListRow> rows;  // the group in the "Type" column, where the entry has one
        std::unordered_map<std::string, catalogue::ChannelExtras> extras;  // logo and number, by RowKey
        QStringList groups;                                                // in the playlist's order
        std::size_t leftOut = 0;                                           // entries the player would not open
        std::string guides;  // the web guides its header names (sources::WebGuides)
    };
    static std::shared_ptr<Channels> ChannelsOf(playlist::Playlist&& list);

    explicit SourceShelf(QObject* parent = nullptr);
    ~SourceShelf() override;

    const std::vector<sources::Source>& list() const { return m_list; }
    // Where a list of sources that could not be read whole was set aside ("" when none was), and
    // whether it could not even be set aside (then nothing is saved over it).
    const QString& setAside() const { return m_setAside; }
    bool unreadable() const { return m_unreadable; }
    const sources::Source* find(const std::string& id) const;
    bool busy(const std::string& id) const { return m_busy.count(id) > 0; }

    // A new source from a file or a web address: read first, kept only when it is a playlist.
    void add(const QString& origin);
    // A provider's account (an Xtream Codes panel): its answers read first, kept only when the
    // account could be read; its password goes to the secret store, its guide with the others.
    void addAccount(const QString& server, const QString& user, const QString& password);
    void refresh(const std::string& id, bool told);
    void refreshStale();  // those a day old or more, untold
    bool rename(const std::string& id, const QString& name);
    bool setGuides(const std::string& id, const std::string& guides);  // the source's own guides, kept
    bool remove(const std::string& id);
    void load(const std::string& id);  // its copy, read for showing: loaded()

signals:
    void changed();  // sources came, went or were renamed
    void added(const QString& id, std::shared_ptr<SourceShelf::Channels> channels);  // kept, and as read
    void addFailed(const QString& origin, const QString& why, bool account);
    // After a refresh: outcome as sources::Refreshed::Outcome; `why` for a failure.
    void refreshed(const QString& id, int outcome, const QString& why, bool told);
    void loaded(const QString& id, std::shared_ptr<SourceShelf::Channels> channels);

private:
    void start(sources::Source source, bool isNew, bool told, std::string password = {});
    bool save();
    std::string freeId() const;  // an id that no source, and no work under way, has
    std::vector<sources::Source>::iterator placeOf(const std::string& id);

    std::vector<sources::Source> m_list;
    std::set<std::string> m_busy;        // ids being refreshed
    std::set<std::string> m_pendingIds;  // ids of sources being added
    QString m_setAside;
    bool m_unreadable = false;
    std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
};
