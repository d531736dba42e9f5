// The main window's catalogue editing panel and the catalogue update from the web.
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "base/app.h"
#include "base/file_io.h"
#include "base/private_label.h"
#include "base/program_files.h"
#include "base/text.h"
#include "catalogue/channel_lines.h"
#include "catalogue/channel_list.h"
#include "catalogue/update_document.h"
#include "localisation/unicode_case.h"
#include "services/fetch.h"
#include "widgets/list_view.h"
#include "widgets/message_box.h"
#include "widgets/pick_combo.h"
#include "widgets/qt_text.h"
#include "windows/main_window.h"

const char* const Form1::kUpdatedMessage = "The most recent channel list has been downloaded and applied.";

namespace {

// What the operator typed or pasted into an edit field, as a catalogue field: one line of text.
std::string Field(const QString& typed) { return text::WithoutControlBytes(typed.toStdString()); }

// Runs `action` when Enter is pressed in a text box; every other key is typed as usual.
class EnterKey : public QObject {
public:
    EnterKey(QLineEdit* box, std::function<void()> action) : QObject(box), m_action(std::move(action)) {
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_action();
                return true;
            }
        }
        return false;
    }

private:
    std::function<void()> m_action;
};

}  // namespace

void Form1::connectEditor() {
    connect(Clear, &QPushButton::clicked, this, &Form1::Clear_Click);
    connect(doLoad, &QPushButton::clicked, this, &Form1::doLoad_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &Form1::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &Form1::cmdEdit_Click);
    m_editFilled = editFields();  // the designed texts count as untouched
    connect(DELChannel, &QPushButton::clicked, this, &Form1::DELChannel_Click);
    connect(save, &QPushButton::clicked, this, &Form1::save_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(cmdReplace, &QPushButton::clicked, this, &Form1::cmdReplace_Click);
    connect(cmdMusic, &QPushButton::clicked, this, &Form1::cmdMusic_Click);
    new EnterKey(Text2, [this] { cmdReplace_Click(); });
    new EnterKey(Text3, [this] { cmdReplace_Click(); });
    new EnterKey(Text4, [this] { cmdMusic_Click(); });
}

QString Form1::DamagedLinesMessage(const std::vector<std::size_t>& lines) {
    constexpr std::size_t kListed = 20;
    QStringList numbers;
    for (std::size_t i = 0; i < lines.size() && i < kListed; ++i) numbers << QString::number(lines[i]);
    if (lines.size() > kListed) numbers << QStringLiteral("…");
    const QString listed = numbers.join(QStringLiteral(", "));
    if (lines.size() == 1)
        return QStringLiteral("1 damaged line of the channel list was skipped (line %1).").arg(listed);
    return QStringLiteral("%1 damaged lines of the channel list were skipped (lines %2).")
        .arg(lines.size())
        .arg(listed);
}

void Form1::Clear_Click() { ListView1->channels()->clear(); }

void Form1::doLoad_Click() {
    const auto text = base::ReadFileCapped(program_files::ReadPath("Data.txt"), catalogue::kMaxCatalogueBytes);
    if (!text) {
        ShowMessage(this, QString::fromLatin1(kCatalogueMissingMessage));
        return;
    }
    if (!catalogue::FitsInMemory(*text)) {
        ShowMessage(this, QString::fromLatin1(kCatalogueTooLargeMessage));
        return;
    }
    // Every entry of every category, appended: the list is not cleared first.
    std::vector<std::size_t> damaged;
    ListView1->channels()->appendRows(ListRow::FromCatalogue(*text, true, &damaged));
    // The list is filled first; then one word on the lines that could not be read.
    if (!damaged.empty()) ShowMessage(this, DamagedLinesMessage(damaged));
}

void Form1::cmdAdd_Click() {
    // The new row's address is the editor's "URL"; it plays nothing until saved and loaded.
    ListView1->channels()->appendRow(ListRow{Field(txtAddName->text()), std::string(),
                                             Field(cmbAddCategory->currentText()), Field(txtAddType->text()),
                                             Field(txtAddURL->text())});
}

void Form1::cmdEdit_Click() {
    const int index = ListView1->selectedIndex();
    if (index < 0) return;  // no row chosen: nothing to change
    if (m_editedRow.isValid() && m_editedRow.row() == index) {
        writeEditFields(index);
        return;
    }
    // The highlight moved on while the fields held typed text, which was kept: the edit goes
    // into the row the user sees selected only when the user says so; nothing is dropped.
    const QString from =
        m_editedRow.isValid() ? QString::fromStdString(ListView1->row(m_editedRow.row()).name) : QString();
    const QString to = QString::fromStdString(ListView1->row(index).name);
    const QString question = from.isEmpty()
                                 ? QStringLiteral("Write the edit fields into the selected entry \"%1\"?").arg(to)
                                 : QStringLiteral(
                                       "The edit fields hold your changes to \"%1\". Write them into the selected "
                                       "entry \"%2\" instead?")
                                       .arg(from, to);
    if (AskYesNo(this, question)) writeEditFields(index);
}

void Form1::writeEditFields(int index) {
    ListRow row = ListView1->row(index);
    row.name = Field(txtEditName->text());
    row.category = Field(cmbEditCateogy->currentText());
    row.language = Field(txtEditType->text());
    row.url = Field(txtEditURL->text());  // what plays (the row's address) stays as loaded
    ListView1->channels()->setRow(index, std::move(row));
    m_editedRow = QPersistentModelIndex(ListView1->channels()->index(index, 0));
    m_editFilled = editFields();
}

void Form1::fillEditFields(int index) {
    const ListRow& row = ListView1->row(index);
    m_editedRow = QPersistentModelIndex(ListView1->channels()->index(index, 0));
    txtEditName->setText(QString::fromStdString(row.name));
    cmbEditCateogy->setEditText(QString::fromStdString(row.category));
    txtEditType->setText(QString::fromStdString(row.language));
    txtEditURL->setText(QString::fromStdString(row.url));
    m_editFilled = editFields();
}

QStringList Form1::editFields() const {
    return {txtEditName->text(), cmbEditCateogy->currentText(), txtEditType->text(), txtEditURL->text()};
}

void Form1::DELChannel_Click() {
    ListView1->channels()->removeRow(ListView1->selectedIndex());
    // No row is chosen after a delete: the fields still hold the deleted row's values, and
    // no other row was clicked.
    ListView1->selectRow(-1);
    ListView1->setCurrentIndex(QModelIndex());
}

void Form1::save_Click() {
    // Written whole or not at all; a success beside the program stays silent, as the panel's
    // instructions say where the document is. The editor saves each row's "URL".
    const bool saved = writeListFile(
        "Data.htm",
        [this] {
            std::vector<catalogue::Channel> lines;
            lines.reserve(ListView1->rows().size());
            for (const ListRow& row : ListView1->rows()) lines.push_back(row.designedFields(true));
            return catalogue::EncodeUpdateDocument(lines, [](const catalogue::Channel& c) { return c.fields(); });
        },
        QStringLiteral("An entry is too long to be saved; Data.htm was not written."),
        QStringLiteral("Data.htm could not be saved:\n%1\n\nThe previous Data.htm is unchanged."));
    // A program directory the user may not write sends the document to the user's data folder:
    // the operator is told where to pick it up for the upload.
    if (saved && !program_files::ProgramFolderWritable())
        ShowMessage(this, QStringLiteral("The program directory cannot be written, so Data.htm was saved in %1.")
                              .arg(ToQt(program_files::WritePath("Data.htm").string())));
}

void Form1::Command2_Click() {
    chkLoad->setChecked(false);
    Frame2->setVisible(false);
}

void Form1::cmdReplace_Click() {
    const std::string find = Text2->text().toStdString();
    const std::string replacement = Field(Text3->text());
    const QString column = Combo2->currentText();
    ChannelModel* rows = ListView1->channels();
    const int count = rows->rowCount();
    if (column == QLatin1String("Channel")) {
        if (find.empty()) return;
        for (int i = 0; i < count; ++i) {
            ListRow row = rows->row(i);
            std::string name = localisation::ReplaceNoCaseUtf8(row.name, find, replacement);
            if (name == row.name) continue;
            row.name = std::move(name);
            rows->setRow(i, std::move(row));
        }
    } else if (column == QLatin1String("Language")) {
        if (find.empty()) return;
        for (int i = 0; i < count; ++i) {
            if (rows->row(i).language != find) continue;
            ListRow row = rows->row(i);
            row.language = replacement;
            rows->setRow(i, std::move(row));
        }
    }
}

void Form1::cmdMusic_Click() {
    const int index = ListView1->selectedIndex();
    if (index >= 0) {
        ListRow row = ListView1->row(index);
        row.language = Text4->text().toStdString();
        ListView1->channels()->setRow(index, std::move(row));
    }
    Text4->clear();
    Text4->setFocus();
}

void Form1::DownloadChannelList() {
    const std::string address =
        "http://" + modPrivateLabel::UpdateHost + catalogue::UpdatePagePath(modPrivateLabel::IsResellerBuild());
    const FetchResult fetched = FetchPageReport(address);
    if (fetched.cancelled) return;  // the program is closing
    const QString unchanged = QStringLiteral(" Your channel list was not changed.");
    // A page that broke off is read like a whole one: without its end marker it changes nothing.
    if (!fetched.arrived() && !fetched.incomplete) {
        ShowMessage(this, QStringLiteral("The channel list could not be downloaded from %1: %2.")
                                  .arg(ToQt(address), ToQt(fetched.failure)) +
                              unchanged);
        return;
    }
    if (fetched.status < 200 || fetched.status >= 300) {
        ShowMessage(this, QStringLiteral("The update page %1 answered with an error (HTTP status %2).")
                                  .arg(ToQt(address))
                                  .arg(fetched.status) +
                              unchanged);
        return;
    }
    if (fetched.body.empty()) {
        ShowMessage(this, QStringLiteral("The update page %1 sent nothing.").arg(ToQt(address)) + unchanged);
        return;
    }
    std::string block;
    switch (catalogue::ExtractDataBlock(fetched.body, block)) {
        case catalogue::BlockResult::NoMarker: return;  // a page came, but no update page: nothing changes
        case catalogue::BlockResult::Unfinished:
            ShowMessage(this, QStringLiteral("The channel list on the update page is incomplete. Your channel list "
                                             "was not changed; please try again later."));
            return;
        case catalogue::BlockResult::Found: break;
    }
    if (!catalogue::FitsInMemory(block)) {
        ShowMessage(this, QStringLiteral("The channel list on the update page holds more lines than the program can "
                                         "keep in memory.") +
                              unchanged);
        return;
    }
    bool holdsChannel = false;
    catalogue::ForEachChannelLine(block, [&](const catalogue::LineFields&) { holdsChannel = true; });
    if (!holdsChannel) {
        ShowMessage(this, QStringLiteral("The update page holds no channels.") + unchanged);
        return;
    }
    block += "\r\n";
    const auto written = base::ReplaceFileAtomically(program_files::WritePath("Data.txt"), block);
    if (!written) {
        ShowMessage(this, QStringLiteral("The new channel list could not be saved:\n%1\n\nYour channel list was not "
                                         "changed.")
                              .arg(ToQt(written.error)));
        return;
    }
    LoadChannelList();
    ShowMessage(this, QString::fromLatin1(kUpdatedMessage));
}
