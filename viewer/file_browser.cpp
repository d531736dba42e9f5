#include "viewer/file_browser.h"

#include <QDir>
#include <QStorageInfo>

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) addItem(volume.rootPath());
    const int root = findText(QDir::rootPath());
    setCurrentIndex(root >= 0 ? root : 0);
}

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent), m_path(QDir::currentPath()) {}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent), m_path(QDir::currentPath()) {}
