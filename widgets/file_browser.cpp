#include "widgets/file_browser.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include "base/file_pattern.h"
#include "widgets/background.h"

namespace {
constexpr int kPathRole = Qt::UserRole + 1;
}

// ---- Drives ------------------------------------------------------------------------------

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    refreshDrives();
    const int current = findText(QStorageInfo(QDir::currentPath()).rootPath());
    setCurrentIndex(current >= 0 ? current : 0);
    m_shown = currentText();
    // Picking the drive already shown changes nothing, as on the platform's drive list.
    connect(this, &QComboBox::activated, this, [this](int) {
        if (currentText() == m_shown) return;
        m_shown = currentText();
        emit changed();
    });
}

void DriveListBox::refreshDrives() {
    const QString keep = currentText();
    clear();
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath())) roots << volume.rootPath();
    if (!roots.contains(QDir::rootPath())) roots.prepend(QDir::rootPath());
    roots.sort();
    addItems(roots);
    const int again = findText(keep);
    if (again >= 0) setCurrentIndex(again);
}

bool DriveListBox::setDrive(const QString& drive) {
    int at = findText(drive);
    if (at < 0) {
        refreshDrives();  // a drive mounted since the list was filled
        at = findText(drive);
    }
    if (at < 0 || !QFileInfo(drive).isDir()) return false;
    setCurrentIndex(at);
    if (currentText() != m_shown) {
        m_shown = currentText();
        emit changed();
    }
    return true;
}

// ---- Folders -----------------------------------------------------------------------------

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    m_path = QDir::currentPath();
    fill();
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(kPathRole).toString()); });
}

bool DirListBox::setPath(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir() || !info.isReadable()) return false;
    m_path = QDir::cleanPath(info.absoluteFilePath());
    fill();
    emit changed();
    return true;
}

void DirListBox::fill() {
    clear();
    // The chain of folders from the root down to the current one, then its sub-folders,
    // each indented one step further.
    QStringList chain;
    for (QDir d(m_path);;) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp()) break;
    }
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = depth == 0 ? folder : QFileInfo(folder).fileName();
        auto* item = new QListWidgetItem(QString(qsizetype{depth} * 2, QLatin1Char(' ')) + name, this);
        item->setData(kPathRole, folder);
        if (folder == m_path) setCurrentItem(item);
        ++depth;
    }
    const QFileInfoList subfolders =
        QDir(m_path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& sub : subfolders) {
        auto* item = new QListWidgetItem(QString(qsizetype{depth} * 2, QLatin1Char(' ')) + sub.fileName(), this);
        item->setData(kPathRole, sub.absoluteFilePath());
    }
}

// ---- Files -------------------------------------------------------------------------------

namespace {

// The names of the files in `folder` that match `pattern`, sorted without regard to case.
QStringList MatchingFiles(const QString& folder, const QString& pattern) {
    const QByteArray wanted = pattern.toUtf8();
    QStringList names;
    // Hidden files (".name") are left out, as the platform's file lists leave them out.
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        const QByteArray utf8 = name.toUtf8();
        if (file_pattern::Matches(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                                  std::string_view(wanted.constData(), static_cast<std::size_t>(wanted.size()))))
            names << name;
    }
    return names;
}

}  // namespace

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    m_path = QDir::currentPath();
    connect(&m_listing, &QFutureWatcher<QStringList>::finished, this, [this] {
        const QFuture<QStringList> done = m_listing.future();
        if (done.resultCount() > 0) addItems(done.result());
        m_filling = false;
        emit filled();
    });
}

void FileListBox::setPattern(const QString& pattern) {
    m_pattern = pattern;
    refresh();
}

bool FileListBox::setPath(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isDir()) return false;
    m_path = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    refresh();
    return true;
}

void FileListBox::refresh() {
    clear();
    // The watcher belongs to the list, so a list that is gone, or a newer refresh, never
    // receives these names.
    m_filling = true;
    m_listing.setFuture(RunInBackground<QStringList>(
        [folder = m_path, pattern = m_pattern] { return MatchingFiles(folder, pattern); }));
}

QString FileListBox::fileName() const {
    const QListWidgetItem* item = currentItem();
    return item ? item->text() : QString();
}
