#pragma once
// The three list boxes of the local-files browser: the drives (mounted volumes), the folders
// of the chosen drive, and the media files of the chosen folder. Setting a drive or a path,
// by the user or by code, raises `changed`; a drive or folder that is not there is refused
// (the setter returns false) and the list keeps what it showed.
#include <QComboBox>
#include <QFutureWatcher>
#include <QListWidget>
#include <QString>
#include <QStringList>

class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);
    QString drive() const { return currentText(); }
    // Shows `drive`; `changed` only when it differs from the drive shown before.
    bool setDrive(const QString& drive);
    void refreshDrives();

signals:
    void changed();

private:
    QString m_shown;  // the drive `changed` was last raised for (or shown first)
};

class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);
    QString path() const { return m_path; }
    bool setPath(const QString& path);

signals:
    void changed();

private:
    void fill();
    QString m_path;
};

class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);
    QString pattern() const { return m_pattern; }
    void setPattern(const QString& pattern);
    QString path() const { return m_path; }
    bool setPath(const QString& path);
    // Lists the folder again. The listing runs on a worker thread and the names arrive
    // together when it ends, so a folder of many thousands of files never holds up the
    // window; a newer refresh replaces one still under way.
    void refresh();
    bool filling() const { return m_filling; }  // a listing is on its way to the list
    QString fileName() const;                   // the chosen file, "" when none

signals:
    void filled();  // the names of the last refresh are in the list

private:
    QString m_pattern = QStringLiteral("*.*");
    QString m_path;
    QFutureWatcher<QStringList> m_listing;
    bool m_filling = false;
};
