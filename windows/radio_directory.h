#pragma once
// The radio directory in the channel list: under the Radio category the filter line offers
// "Search the directory" below the local matches; once chosen the list shows the directory's
// stations for what is typed (asked 300 ms after the typing rests, a search under way dropped
// when typing goes on), narrowed by country, language and tag, 100 at a time and more as the
// list is scrolled to its end. The asking runs on a worker thread of its own; the window never
// waits for the network. Esc, another category or any reload of the list goes back to the
// local list.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/channel_extras.h"
#include "services/radio_directory.h"

class ListView;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;
struct ListRow;

class RadioDirectory : public QObject {
    Q_OBJECT
public:
    // Works on `list` while `available` says the Radio category's own list shows there.
    // `servers` gives the directory's base addresses ("" finds them through DNS), asked once,
    // at the first search.
    RadioDirectory(ListView* list, std::function<bool()> available, std::function<std::string()> servers,
                   QObject* parent = nullptr);
    ~RadioDirectory() override;  // stops the worker

    static constexpr int kRestMs = 300;  // typing rests this long before a search

    bool active() const { return m_active; }  // the list shows the directory's stations
    // Searches the filter line's text now; the list changes once stations come.
    void search();
    void leave();  // back to the local list: left() asks the owner to show it
    // A station of the results, by the address its row plays; nullptr for none.
    const radio_directory::Station* station(const std::string& address) const;
    const catalogue::ChannelExtras* extrasOf(const std::string& address) const;
    // The favourites row of a result: its name and stream address, "Radio", its language.
    static ListRow FavouriteRow(const radio_directory::Station& station);
    // Tells the directory that one of its stations is played (once a play).
    void played(const std::string& address);

    // The controls (for the language walk and the tests) and the line the list shows.
    QPushButton* searchButton() const { return m_searchButton; }
    QComboBox* countryBox() const { return m_country; }
    QComboBox* languageBox() const { return m_language; }
    QComboBox* tagBox() const { return m_tag; }
    QString statusText() const;
    bool searching() const { return m_searching; }
    bool morePossible() const { return m_more; }
    // Tests only: how long a mirror may take before the next is asked (seconds).
    static void SetTimeoutForTests(long seconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void left();
    void answered();  // a search (or a further page) ended, with stations or a failure
    void listsReady();

private:
    struct Shared;
    struct Job;
    void submit(const radio_directory::Query& query, bool more);
    void onStations(unsigned run, const radio_directory::Query& query, std::vector<radio_directory::Station> found,
                    const QString& failure);
    void onLists(const radio_directory::Lists& lists);
    void updateFoot();
    void wakeWorker();  // started at the first need
    void forget();      // the directory's stations and any search of them, gone
    void dropSearch();  // the search under way or waiting, dropped
    void showStatus(const QString& text);
    void scrolled();
    radio_directory::Query queryNow() const;
    void fillBox(QComboBox* box, const QString& any, const std::vector<radio_directory::Named>& names);

    ListView* m_list;
    std::function<bool()> m_available;
    std::function<std::string()> m_servers;
    std::shared_ptr<Shared> m_shared;
    QPointer<QWidget> m_foot;
    QPushButton* m_searchButton = nullptr;
    QWidget* m_narrowing = nullptr;
    QComboBox *m_country = nullptr, *m_language = nullptr, *m_tag = nullptr;
    QLabel* m_status = nullptr;
    QTimer m_rest;
    bool m_active = false;
    bool m_chosen = false;  // the user asked the directory (its stations show, or are coming)
    bool m_settingRows = false;
    bool m_searching = false;
    bool m_more = false;
    bool m_listsAsked = false;
    unsigned m_run = 0;              // the newest search's number
    radio_directory::Query m_query;  // of the stations shown
    std::vector<radio_directory::Station> m_stations;
    std::map<std::string, std::size_t> m_byAddress;  // into m_stations
    catalogue::ExtrasMap m_extras;                   // the stations' logos, by address
};
