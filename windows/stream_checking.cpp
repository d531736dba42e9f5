// The stream check of the operator's list (File > Check Streams): every address asked in the
// background, the rows marked alive or dead as answers come, the dead ones deleted on request;
// and the entries that read "Stop…" while their job runs.
#include "windows/main_window.h"

#include <QProgressDialog>
#include <unordered_set>

#include "catalogue/stream_options.h"
#include "player/player_pane.h"
#include "widgets/list_view.h"
#include "widgets/message_box.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"
#include "windows/background_jobs.h"

void Form1::connectStreamCheck() {
    m_checker = new StreamChecker(this);
    connect(mnuCheckStreams, &QAction::triggered, this, [this] {
        if (m_checker->running())
            m_checker->cancel();
        else
            CheckStreams();
    });
    connect(mnuDeleteDead, &QAction::triggered, this, [this] { DeleteDeadStreams(true); });

    connect(m_checker, &StreamChecker::checked, this, [this](const QString& address, int verdict, const QString& why) {
        ListView1->channels()->setMark(ToUtf8(address),
                                       StreamMark{static_cast<StreamMark::Kind>(verdict), ToUtf8(why)});
    });
    connect(m_checker, &StreamChecker::progress, this, [this](int done, int total) {
        if (!m_checkProgress) return;
        m_checkProgress->setMaximum(total);
        m_checkProgress->setValue(done);
        m_checkProgress->setLabelText(Msg("MSG_CHECKINGOF").arg(done).arg(total));
    });
    connect(m_checker, &StreamChecker::finished, this, [this](bool) {
        showBusy(mnuCheckStreams, false);
        if (m_checkProgress) {
            m_checkProgress->deleteLater();
            m_checkProgress = nullptr;
        }
    });
}

// An entry that starts a job reads "Stop…" while the job runs; its own caption, in the language
// applied, comes back when the job ends.
void Form1::showBusy(QAction* entry, bool busy) {
    const char* key = entry == mnuUpdateGuide ? "MSG_STOPUPDATINGGUIDE" : "MSG_STOPCHECKING";
    const bool was = entry->property("busy").toBool();
    if (!busy && !was) return;
    if (busy && !was) entry->setProperty("idleCaption", entry->text());
    entry->setProperty("busy", busy);
    entry->setText(busy ? Msg(key) : entry->property("idleCaption").toString());
}

// A language was applied: the engine gave every entry its idle caption in it, so a busy entry is
// told again that it is busy.
void Form1::retranslateBusyEntries() {
    for (QAction* entry : {mnuUpdateGuide, mnuCheckStreams}) {
        if (!entry || !entry->property("busy").toBool()) continue;
        entry->setProperty("busy", false);
        showBusy(entry, true);
    }
}

void Form1::CheckStreams() {
    std::vector<std::string> addresses;
    std::vector<std::vector<std::string>> headers;  // the playlist's own, by address
    std::unordered_set<std::string> seen;
    for (const ListRow& row : ListView1->rows()) {
        if (row.checkedAddress().empty() || !seen.insert(row.checkedAddress()).second) continue;
        addresses.push_back(row.checkedAddress());
        std::vector<std::string> lines;
        if (const catalogue::ChannelExtras* extras = extrasOf(ListView1, row))
            for (const stream_options::Header& h : stream_options::Read(extras->options))
                lines.push_back(h.name + ": " + h.value);
        if (!lines.empty()) {
            headers.resize(addresses.size());
            headers.back() = std::move(lines);
        }
    }
    if (addresses.empty()) {
        ShowMessage(this, Msg("MSG_NOTHINGTOCHECK"));
        return;
    }
    ListView1->channels()->clearMarks();
    m_checkProgress =
        new QProgressDialog(Msg("MSG_CHECKING"), Msg("MSG_CANCEL"), 0, static_cast<int>(addresses.size()), this);
    m_checkProgress->setObjectName(QStringLiteral("streamCheckProgress"));
    m_checkProgress->setWindowTitle(mnuCheckStreams->text());
    m_checkProgress->setWindowModality(Qt::NonModal);  // the list stays usable meanwhile
    m_checkProgress->setMinimumDuration(0);
    connect(m_checkProgress, &QProgressDialog::canceled, m_checker, &StreamChecker::cancel);
    showBusy(mnuCheckStreams, true);
    m_checker->start(std::move(addresses), std::move(headers));
}

int Form1::DeleteDeadStreams(bool ask) {
    ChannelModel* rows = ListView1->channels();
    std::vector<int> dead;
    for (int i = 0; i < rows->rowCount(); ++i)
        if (const StreamMark* m = rows->mark(i); m && m->kind == StreamMark::Kind::Dead) dead.push_back(i);
    if (dead.empty()) {
        if (ask) ShowMessage(this, Msg("MSG_NONEDEAD"));
        return 0;
    }
    // Every dead row is selected, so the operator sees what goes.
    ListView1->clearSelection();
    for (int i : dead)
        ListView1->selectionModel()->select(rows->index(i, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (ask && !AskYesNo(this, Msg("MSG_DELETEDEAD").arg(dead.size()))) return 0;
    for (auto it = dead.rbegin(); it != dead.rend(); ++it) rows->removeRow(*it);
    ListView1->selectRow(-1);
    return static_cast<int>(dead.size());
}
