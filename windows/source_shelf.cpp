#include "windows/source_shelf.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "base/file_io.h"
#include "base/text.h"
#include "catalogue/playlist.h"
#include "catalogue/xtream.h"
#include "player/stream_address.h"
#include "services/fetch.h"
#include "services/secret_store.h"
#include "widgets/background.h"
#include "widgets/qt_text.h"

namespace {

sources::Fetched FetchSource(const std::string& address, const std::string& etag, const std::string& lastModified,
                             const std::atomic<bool>& cancel) {
    FetchLimits limits;
    limits.maxBytes = playlist::kMaxBytes;
    limits.pumpEvents = false;
    limits.cancel = &cancel;
    limits.ifNoneMatch = etag;
    limits.ifModifiedSince = lastModified;
    FetchResult got = FetchPageReport(address, limits);
    return {got.status,   got.failure, std::move(got.body), std::move(got.etag), std::move(got.lastModified),
            got.cancelled};
}

std::int64_t Now() { return QDateTime::currentSecsSinceEpoch(); }

}  // namespace

std::shared_ptr<SourceShelf::Channels> SourceShelf::ChannelsOf(playlist::Playlist&& list) {
    auto out = std::make_shared<Channels>();
    out->guides = sources::WebGuides(list.guideList);
    std::unordered_set<std::string_view> groups;
    for (const playlist::Entry& e : list.entries)  // in the playlist's order
        if (!e.group.empty() && groups.insert(e.group).second) out->groups.append(Utf8ToQt(e.group));
    groups = {};
    // The entries are taken from the back, and their room given back as they go, so that a
    // large playlist is not held twice (as entries and as rows) at any moment.
    std::vector<playlist::Entry>& entries = list.entries;
    out->rows.reserve(entries.size());
    while (!entries.empty()) {
        playlist::Entry& e = entries.back();
        // A "|" would split the row should it go into the favourites.
        if (e.address.find('|') == std::string::npos &&
            stream_address::IsAllowed(e.address, stream_address::Origin::List)) {
            std::string category = playlist::CategoryFor(e);
            catalogue::ChannelExtras extras{
                std::move(e.logo),   std::move(e.number), e.group, std::move(e.options), std::move(e.tvgId), {}, {},
                std::move(e.catchup)};
            ListRow row{e.name.empty() ? e.address : std::move(e.name),
                        std::move(e.address),
                        std::move(category),
                        e.group.empty() ? std::move(e.language) : std::move(e.group),
                        {}};
            for (std::string* field : {&row.name, &row.language})
                for (char& c : *field)
                    if (c == '|') c = '/';
            // A row's own number and logo: two rows of one address keep theirs.
            if (!extras.empty() || !extras.tvgId.empty()) out->extras[SourceShelf::RowKey(row)] = std::move(extras);
            out->rows.push_back(std::move(row));
        } else {
            ++out->leftOut;
        }
        entries.pop_back();
        if (entries.size() * 2 < entries.capacity() && entries.capacity() > 4096) entries.shrink_to_fit();
    }
    std::reverse(out->rows.begin(), out->rows.end());
    return out;
}

std::string SourceShelf::RowKey(const ListRow& row) { return row.name + '\n' + row.address; }

SourceShelf::SourceShelf(QObject* parent) : QObject(parent) {
    sources::Loaded loaded = sources::LoadSourcesReport();
    m_list = std::move(loaded.list);
    m_setAside = QString::fromStdU16String(loaded.setAside.u16string());
    m_unreadable = loaded.unreadable;
}

SourceShelf::~SourceShelf() { *m_cancel = true; }

std::vector<sources::Source>::iterator SourceShelf::placeOf(const std::string& id) {
    return std::find_if(m_list.begin(), m_list.end(), [&](const sources::Source& s) { return s.id == id; });
}

const sources::Source* SourceShelf::find(const std::string& id) const {
    const auto place = std::find_if(m_list.begin(), m_list.end(), [&](const sources::Source& s) { return s.id == id; });
    return place == m_list.end() ? nullptr : &*place;
}

bool SourceShelf::save() { return !m_unreadable && sources::SaveSources(m_list); }

std::string SourceShelf::freeId() const {
    // Ids in use, with those being added and those with work out (a source removed while it
    // refreshed keeps its id until the refresh is back, so its late result meets no other).
    std::vector<sources::Source> taken = m_list;
    for (const std::set<std::string>* ids : {&m_pendingIds, &m_busy})
        for (const std::string& id : *ids) taken.push_back(sources::Source{id, {}, "-", {}, {}, 0, {}, {}, {}});
    return sources::NewId(taken);
}

void SourceShelf::add(const QString& origin) {
    sources::Source source;
    source.id = freeId();
    source.origin = origin.toStdString();  // UTF-8: a path may hold any character
    source.name = sources::NameFor(source.origin);
    m_pendingIds.insert(source.id);
    start(std::move(source), true, true);
}

void SourceShelf::addAccount(const QString& server, const QString& user, const QString& password) {
    sources::Source source;
    source.id = freeId();
    source.origin = xtream::ServerOf(ToUtf8(server));
    source.user = text::WithoutControlBytes(ToUtf8(user));
    if (source.origin.empty() || source.user.empty()) {
        emit addFailed(server, QStringLiteral("it is no web address"), true);
        return;
    }
    const std::size_t host = source.origin.find("://") + 3;
    source.name = source.user + '@' + source.origin.substr(host);
    source.guides = xtream::GuideAddress({source.origin, source.user, {}}, source.id);
    m_pendingIds.insert(source.id);
    start(std::move(source), true, true, ToUtf8(password));
}

void SourceShelf::refresh(const std::string& id, bool told) {
    const sources::Source* source = find(id);
    if (!source || busy(id)) return;
    start(*source, false, told);
}

void SourceShelf::refreshStale() {
    const std::int64_t now = Now();
    for (const sources::Source& s : std::vector<sources::Source>(m_list))
        if (sources::IsStale(s, now)) refresh(s.id, false);
}

void SourceShelf::start(sources::Source source, bool isNew, bool told, std::string password) {
    struct Result {
        sources::Source source;
        sources::Refreshed refreshed;
        std::shared_ptr<Channels> channels;  // the new copy as read, when replaced
    };
    m_busy.insert(source.id);
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, isNew, told] {
        watcher->deleteLater();
        Result r = watcher->future().takeResult();
        const std::string id = r.source.id;
        m_busy.erase(id);
        m_pendingIds.erase(id);
        const QString qid = QString::fromStdString(id);
        using Outcome = sources::Refreshed::Outcome;
        const auto place = placeOf(id);
        if (isNew) {
            if (r.refreshed.outcome != Outcome::Replaced) {
                if (r.refreshed.outcome == Outcome::Failed)
                    emit addFailed(QString::fromStdString(r.source.isAccount() ? r.source.name : r.source.origin),
                                   QString::fromStdString(r.refreshed.why), r.source.isAccount());
                return;
            }
            m_list.push_back(r.source);
            save();
            emit changed();
            emit added(qid, r.channels);
            return;
        } else if (place == m_list.end()) {
            // Removed while it was refreshed: its new copy goes too.
            std::error_code ec;
            std::filesystem::remove(sources::CopyPath(r.source), ec);
            return;
        } else if (r.refreshed.outcome != Outcome::Cancelled && r.refreshed.outcome != Outcome::Failed) {
            // The name may have changed meanwhile; the rest is the refresh's.
            r.source.name = place->name;
            r.source.guides = place->guides;
            *place = r.source;
            save();
        }
        emit refreshed(qid, static_cast<int>(r.refreshed.outcome), QString::fromStdString(r.refreshed.why), told);
        if (r.channels) emit loaded(qid, r.channels);
    });
    watcher->setFuture(RunInBackground<Result>(
        [source = std::move(source), cancel = m_cancel, isNew, password = std::move(password)]() mutable {
            Result r;
            playlist::Playlist read;
            using Outcome = sources::Refreshed::Outcome;
            // An account's password: the one typed for a new account, else the secret store's.
            if (source.isAccount() && password.empty()) password = secrets::Lookup(source.id).value_or(std::string());
            if (source.isAccount() && password.empty()) {
                r.refreshed = {Outcome::Failed, "its password is no longer kept; remove the account and add it again"};
                r.source = std::move(source);
                return r;
            }
            r.refreshed = sources::Refresh(
                source,
                [&](const std::string& address, const std::string& etag, const std::string& lastModified) {
                    return FetchSource(address, etag, lastModified, *cancel);
                },
                Now(), &read, password);
            if (isNew && source.isAccount() && r.refreshed.outcome == Outcome::Replaced &&
                !secrets::Store(source.id, source.origin, source.user, password)) {
                std::error_code ec;
                std::filesystem::remove(sources::CopyPath(source), ec);
                r.refreshed = {Outcome::Failed, "its password could not be kept"};
            }
            if (r.refreshed.outcome == Outcome::Replaced) r.channels = ChannelsOf(std::move(read));
            r.source = std::move(source);
            return r;
        }));
}

bool SourceShelf::rename(const std::string& id, const QString& name) {
    const std::string kept = text::WithoutControlBytes(name.trimmed().toStdString());
    const auto place = placeOf(id);
    if (place == m_list.end() || kept.empty()) return false;
    place->name = kept;
    const bool saved = save();
    emit changed();
    return saved;
}

bool SourceShelf::setGuides(const std::string& id, const std::string& guides) {
    const auto place = placeOf(id);
    if (place == m_list.end()) return false;
    place->guides = guides;
    return save();
}

bool SourceShelf::remove(const std::string& id) {
    const auto place = placeOf(id);
    if (place == m_list.end()) return false;
    const std::filesystem::path copy = sources::CopyPath(*place);
    const bool account = place->isAccount();
    m_list.erase(place);
    const bool saved = save();
    std::error_code ec;
    if (saved) std::filesystem::remove(copy, ec);
    // The secret store may take its time: the window does not wait for it.
    if (saved && account)
        RunInBackground<bool>([id] {
            secrets::Forget(id);
            return true;
        });
    emit changed();
    return saved;
}

void SourceShelf::load(const std::string& id) {
    const sources::Source* source = find(id);
    if (!source) return;
    auto* watcher = new QFutureWatcher<std::shared_ptr<Channels>>(this);
    const QString qid = QString::fromStdString(id);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, qid] {
        watcher->deleteLater();
        emit loaded(qid, watcher->future().takeResult());
    });
    watcher->setFuture(RunInBackground<std::shared_ptr<Channels>>(
        [copy = sources::CopyPath(*source), origin = source->origin]() -> std::shared_ptr<Channels> {
            const auto text = base::ReadFileCapped(copy, playlist::kMaxBytes);
            if (!text) return nullptr;  // the copy is gone: a refresh brings it back
            return ChannelsOf(playlist::Read(*text, origin));
        }));
}
