#include "windows/radio_directory.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "base/app.h"
#include "widgets/channel_filter.h"
#include "widgets/list_view.h"
#include "widgets/texts.h"

namespace rd = radio_directory;

namespace {

std::atomic<long> g_timeoutSeconds{10};

std::string UserAgent() {
    const AppInfo& info = App::Info();
    std::string product = info.productName;
    product.erase(std::remove(product.begin(), product.end(), ' '), product.end());
    return (product.empty() ? std::string("Viewer") : product) + "/" + std::to_string(info.major) + "." +
           std::to_string(info.minor) + "." + std::to_string(info.revision);
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

struct RadioDirectory::Job {
    rd::Query query;
    unsigned run = 0;
};

// What the window and the worker share. The worker posts to `receiver` only under the lock,
// and the window clears it under the lock before it goes, so nothing is posted to a window
// that is gone.
struct RadioDirectory::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::optional<Job> search;  // the newest search not yet begun
    bool lists = false;
    std::deque<std::string> clicks;                   // plays to report, by station uuid
    std::shared_ptr<std::atomic<bool>> searchCancel;  // of the search under way
    std::atomic<bool> stopping{false};
    RadioDirectory* receiver = nullptr;
    std::string servers;
    std::thread thread;

    template <typename F>
    void post(F call) {
        std::lock_guard lock(mutex);
        if (RadioDirectory* to = receiver)
            QMetaObject::invokeMethod(
                to, [to, call = std::move(call)]() mutable { call(to); }, Qt::QueuedConnection);
    }

    void work() {
        std::optional<rd::Client> client;
        auto directory = [&]() -> rd::Client& {
            if (!client || client->servers().empty()) {  // DNS that gave nothing is asked again
                std::vector<std::string> found = rd::ParseServers(servers);
                if (found.empty()) {
                    found = rd::ServersFromDns();
                    rd::Shuffle(found);
                }
                client.emplace(rd::Client::Options{std::move(found), UserAgent(), g_timeoutSeconds.load()});
            }
            return *client;
        };
        for (;;) {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return stop || search || lists || !clicks.empty(); });
            if (stop) return;
            if (search) {
                const Job job = *search;
                search.reset();
                auto cancel = std::make_shared<std::atomic<bool>>(false);
                searchCancel = cancel;
                lock.unlock();
                std::vector<rd::Station> stations;
                const rd::Client::Answer answer =
                    directory().get(rd::StationsPath(job.query), cancel.get(), [&](std::string_view body) {
                        std::string problem;
                        stations =
                            rd::ReadStations(body, &problem, static_cast<std::size_t>(std::max(job.query.limit, 1)));
                        return problem.empty() ? problem : "its answer could not be read (" + problem + ")";
                    });
                if (answer.cancelled) continue;
                const QString failure = FromUtf8(answer.failure);
                post([job, stations = std::move(stations), failure](RadioDirectory* to) mutable {
                    to->onStations(job.run, job.query, std::move(stations), failure);
                });
            } else if (lists) {
                lists = false;
                lock.unlock();
                std::optional<rd::Lists> kept = rd::LoadLists(Now());
                if (!kept) {
                    rd::Lists fetched;
                    fetched.fetchedAt = Now();
                    bool whole = true;
                    for (auto [path, names] : {std::pair{rd::CountriesPath(), &fetched.countries},
                                               std::pair{rd::LanguagesPath(), &fetched.languages},
                                               std::pair{rd::TagsPath(), &fetched.tags}}) {
                        const rd::Client::Answer answer =
                            directory().get(path, &stopping, [&, names = names](std::string_view body) {
                                std::string problem;
                                *names = rd::ReadNames(body, &problem);
                                return problem;
                            });
                        whole = whole && answer.ok();
                    }
                    if (stopping) return;
                    if (whole) rd::SaveLists(fetched);  // a partial set is shown, not kept
                    kept = std::move(fetched);
                }
                post([lists = std::move(*kept)](RadioDirectory* to) { to->onLists(lists); });
            } else {
                const std::string uuid = clicks.front();
                clicks.pop_front();
                lock.unlock();
                directory().get(rd::ClickPath(uuid), &stopping, [](std::string_view) { return std::string(); });
            }
        }
    }
};

void RadioDirectory::SetTimeoutForTests(long seconds) { g_timeoutSeconds = seconds > 0 ? seconds : 10; }

RadioDirectory::RadioDirectory(ListView* list, std::function<bool()> available, std::function<std::string()> servers,
                               QObject* parent)
    : QObject(parent), m_list(list), m_available(std::move(available)), m_shared(std::make_shared<Shared>()) {
    m_shared->receiver = this;
    m_servers = std::move(servers);

    // Over the list's foot, above the filter line: the offer to search, or the narrowing boxes,
    // and the line that says what the directory answered.
    m_foot = new QWidget(list->parentWidget());
    m_foot->setObjectName(QStringLiteral("RadioDirectoryFoot"));
    m_foot->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(m_foot);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    m_status = new QLabel(m_foot);
    m_status->setObjectName(QStringLiteral("RadioDirectoryStatus"));
    m_status->setWordWrap(true);
    m_status->hide();
    column->addWidget(m_status);
    m_searchButton = new QPushButton(m_foot);
    m_searchButton->setObjectName(QStringLiteral("cmdSearchDirectory"));
    m_searchButton->setIcon(m_searchButton->style()->standardIcon(QStyle::SP_FileDialogContentsView));
    // A click leaves the keys in the filter line, where the search goes on as it is typed.
    m_searchButton->setFocusPolicy(Qt::NoFocus);
    column->addWidget(m_searchButton);
    m_narrowing = new QWidget(m_foot);
    auto* row = new QHBoxLayout(m_narrowing);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    for (auto [box, name, any] : {std::tuple{&m_country, "cmbDirectoryCountry", "MSG_ANYCOUNTRY"},
                                  std::tuple{&m_language, "cmbDirectoryLanguage", "MSG_ANYLANGUAGE"},
                                  std::tuple{&m_tag, "cmbDirectoryTag", "MSG_ANYTAG"}}) {
        *box = new QComboBox(m_narrowing);
        (*box)->setObjectName(QLatin1String(name));
        (*box)->addItem(Msg(any), QString());
        (*box)->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        (*box)->setMinimumContentsLength(4);
        row->addWidget(*box, 1);
        connect(*box, &QComboBox::activated, this, [this] {
            if (m_active) submit(queryNow(), false);
        });
    }
    column->addWidget(m_narrowing);
    m_foot->hide();
    list->addFootWidget(m_foot);

    connect(m_searchButton, &QPushButton::clicked, this, &RadioDirectory::search);
    m_rest.setSingleShot(true);
    m_rest.setInterval(kRestMs);
    connect(&m_rest, &QTimer::timeout, this, [this] {
        if (m_chosen) submit(queryNow(), false);
    });
    connect(list, &ListView::filterEdited, this, [this] {
        if (m_chosen) {
            // Typing on drops the search under way at once; the next waits for the keys to rest.
            dropSearch();
            m_rest.start();
        } else {
            showStatus({});
        }
        updateFoot();
    });
    connect(list, &ListView::filterOpened, this, [this] {
        // Enter in the line searches the directory when no row of the list matches.
        m_list->filterLine()->installEventFilter(this);
        updateFoot();
    });
    connect(list, &ListView::filterClosed, this, [this] {
        leave();
        updateFoot();
    });
    // Any other change of the whole list (a category, a language, a playlist) ends the search.
    connect(list->channels(), &QAbstractItemModel::modelReset, this, [this] {
        if (m_settingRows) return;
        forget();
        showStatus({});
    });
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, &RadioDirectory::scrolled);
    connect(list->verticalScrollBar(), &QScrollBar::rangeChanged, this, &RadioDirectory::scrolled);
}

RadioDirectory::~RadioDirectory() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->receiver = nullptr;
        m_shared->stop = true;
        m_shared->stopping = true;
        if (m_shared->searchCancel) *m_shared->searchCancel = true;
    }
    m_shared->wake.notify_all();
    if (m_shared->thread.joinable()) m_shared->thread.join();
    delete m_foot;
}

void RadioDirectory::wakeWorker() {
    // The worker, and the setting naming the servers, wait for the directory's first use: a
    // start of the program that never searches it costs nothing.
    if (!m_shared->thread.joinable()) {
        m_shared->servers = m_servers();
        m_shared->thread = std::thread([shared = m_shared] { shared->work(); });
    }
    m_shared->wake.notify_all();
}

QString RadioDirectory::statusText() const { return m_status->text(); }

bool RadioDirectory::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == m_list->filterLine()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !m_searchButton->isHidden() &&
            m_list->filter()->rowCount() == 0) {
            search();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

rd::Query RadioDirectory::queryNow() const {
    rd::Query query;
    if (QLineEdit* line = m_list->filterLine()) query.name = line->text().trimmed().toStdString();
    query.country = m_country->currentData().toString().toStdString();
    query.language = m_language->currentData().toString().toStdString();
    query.tag = m_tag->currentData().toString().toStdString();
    return query;
}

void RadioDirectory::search() {
    m_chosen = true;
    if (!m_listsAsked) {
        m_listsAsked = true;  // the worker reads them from the day's copy when it can
        {
            std::lock_guard lock(m_shared->mutex);
            m_shared->lists = true;
        }
        wakeWorker();
    }
    m_rest.stop();
    submit(queryNow(), false);
}

void RadioDirectory::submit(const rd::Query& query, bool more) {
    ++m_run;
    m_searching = true;
    if (!more) showStatus(Msg("MSG_DIRECTORYSEARCHING"));
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->search = Job{query, m_run};
        if (m_shared->searchCancel) *m_shared->searchCancel = true;
    }
    wakeWorker();
}

void RadioDirectory::onStations(unsigned run, const rd::Query& query, std::vector<rd::Station> found,
                                const QString& failure) {
    if (run != m_run) return;  // typing went on: an older search's answer
    m_searching = false;
    if (!failure.isEmpty()) {
        showStatus(Msg("MSG_DIRECTORYUNREACHABLE").arg(failure));
        emit answered();
        return;
    }
    const bool firstPage = query.offset == 0;
    m_more = static_cast<int>(found.size()) >= query.limit;
    m_query = query;
    if (firstPage) {
        m_stations.clear();
        m_byAddress.clear();
        m_extras.clear();
    }
    std::vector<ListRow> rows;
    rows.reserve(found.size());
    for (rd::Station& station : found) {
        if (m_byAddress.count(station.address)) continue;  // listed on an earlier page
        rows.push_back(ListRow{station.name, station.address, station.country, rd::FormatOf(station), {}});
        if (!station.logo.empty()) m_extras[station.address].logo = station.logo;
        m_byAddress.emplace(station.address, m_stations.size());
        m_stations.push_back(std::move(station));
    }
    m_settingRows = true;
    if (firstPage)
        m_list->channels()->setRows(std::move(rows));
    else
        m_list->channels()->appendRows(std::move(rows));
    m_settingRows = false;
    if (!m_active) {
        m_active = true;
        m_list->setLocalFiltering(false);
    }
    if (firstPage) m_list->scrollToTop();
    showStatus(firstPage && m_stations.empty() ? Msg("MSG_DIRECTORYNOMATCH") : QString());
    emit answered();
}

void RadioDirectory::onLists(const rd::Lists& lists) {
    fillBox(m_country, Msg("MSG_ANYCOUNTRY"), lists.countries);
    fillBox(m_language, Msg("MSG_ANYLANGUAGE"), lists.languages);
    fillBox(m_tag, Msg("MSG_ANYTAG"), lists.tags);
    emit listsReady();
}

void RadioDirectory::fillBox(QComboBox* box, const QString& any, const std::vector<rd::Named>& names) {
    const QString current = box->currentData().toString();
    box->clear();
    box->addItem(any, QString());
    for (const rd::Named& named : names) {
        const QString name = FromUtf8(named.name);
        box->addItem(QStringLiteral("%1 (%2)").arg(name).arg(named.stations), name);
    }
    box->setCurrentIndex(std::max(0, box->findData(current)));
}

void RadioDirectory::scrolled() {
    if (!m_active || !m_more || m_searching) return;
    const QScrollBar* bar = m_list->verticalScrollBar();
    if (bar->maximum() <= 0 || bar->value() < bar->maximum() - bar->pageStep() / 2) return;
    rd::Query next = m_query;
    next.offset = m_query.offset + m_query.limit;
    submit(next, true);
}

void RadioDirectory::leave() {
    const bool wasActive = m_active;
    forget();
    showStatus({});
    if (wasActive) emit left();
}

void RadioDirectory::forget() {
    m_rest.stop();
    dropSearch();
    m_chosen = false;
    if (!m_active) return;
    m_active = false;
    m_list->setLocalFiltering(true);
    m_stations.clear();
    m_byAddress.clear();
    m_extras.clear();
}

void RadioDirectory::dropSearch() {
    ++m_run;  // an answer on its way is for a search no longer wanted
    m_searching = false;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->search.reset();
        if (m_shared->searchCancel) *m_shared->searchCancel = true;
    }
}

void RadioDirectory::showStatus(const QString& text) {
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
    updateFoot();
}

void RadioDirectory::updateFoot() {
    if (!m_foot) return;
    const bool open = m_list->filterOpen();
    const bool here = open && (m_active || m_available());
    const QString text = open && m_list->filterLine() ? m_list->filterLine()->text().trimmed() : QString();
    m_searchButton->setText(Msg("MSG_DIRECTORYSEARCHFOR").arg(text));
    m_searchButton->setVisible(here && !m_active && !text.isEmpty());
    m_narrowing->setVisible(here && m_active);
    const bool show = here && (!m_searchButton->isHidden() || m_active || !m_status->isHidden());
    m_foot->setVisible(show);
    m_list->placeFoot();
}

const rd::Station* RadioDirectory::station(const std::string& address) const {
    if (!m_active) return nullptr;
    const auto found = m_byAddress.find(address);
    return found == m_byAddress.end() ? nullptr : &m_stations[found->second];
}

const catalogue::ChannelExtras* RadioDirectory::extrasOf(const std::string& address) const {
    if (!m_active) return nullptr;
    const auto found = m_extras.find(address);
    return found == m_extras.end() ? nullptr : &found->second;
}

ListRow RadioDirectory::FavouriteRow(const rd::Station& station) {
    // Its first language, as the catalogue writes languages ("English"), else its country.
    std::string language = station.language.substr(0, station.language.find(','));
    if (language.empty()) language = station.country;
    if (!language.empty() && language[0] >= 'a' && language[0] <= 'z')
        language[0] = static_cast<char>(language[0] - 32);
    return ListRow{station.name, station.address, "Radio", language, {}};
}

void RadioDirectory::played(const std::string& address) {
    const rd::Station* found = station(address);
    if (!found) return;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->clicks.push_back(found->uuid);
    }
    wakeWorker();
}
