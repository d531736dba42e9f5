#pragma once
// The three list boxes of the local-files browser: drives, folders of the chosen drive, and
// the media files of the chosen folder.
#include <QComboBox>
#include <QListWidget>
#include <QString>

class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);
    QString drive() const { return currentText(); }
};

class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);
    QString path() const { return m_path; }

private:
    QString m_path;
};

class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);
    QString pattern() const { return m_pattern; }
    void setPattern(const QString& pattern) { m_pattern = pattern; }
    QString path() const { return m_path; }

private:
    QString m_pattern = QStringLiteral("*.*");
    QString m_path;
};
