#include "widgets/file_browser.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include "base/file_pattern.h"

namespace {
constexpr int kPathRole = Qt::UserRole + 1;
}

// ---- Drives ------------------------------------------------------------------------------

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    refreshDrives();
    const int current = findText(QStorageInfo(QDir::currentPath()).rootPath());
    setCurrentIndex(current >= 0 ? current : 0);
    connect(this, &QComboBox::activated, this, [this](int) { emit changed(); });
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
    emit changed();
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

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) { m_path = QDir::currentPath(); }

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
    const QByteArray pattern = m_pattern.toUtf8();
    const QFileInfoList files = QDir(m_path).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& f : files) {
        const QByteArray name = f.fileName().toUtf8();
        if (file_pattern::Matches(std::string_view(name.constData(), static_cast<std::size_t>(name.size())),
                                  std::string_view(pattern.constData(), static_cast<std::size_t>(pattern.size()))))
            addItem(f.fileName());
    }
}

QString FileListBox::fileName() const {
    const QListWidgetItem* item = currentItem();
    return item ? item->text() : QString();
}
