#pragma once
// Answers every message box that opens while it lives, and records the texts, so that a test
// can run a handler that shows one without blocking.
#include <QObject>
#include <QStringList>
#include <QTimer>

class ModalWatcher : public QObject {
    Q_OBJECT
public:
    // Answers each message box with `answer` (OK when the box has no such button).
    explicit ModalWatcher(int answer = 0x00000400 /* QMessageBox::Ok */);
    const QStringList& texts() const { return m_texts; }
    const QStringList& titles() const { return m_titles; }
    // The object name of the window each box belonged to ("" for a box of no window).
    const QStringList& owners() const { return m_owners; }

private:
    void poll();
    QTimer m_timer;
    QStringList m_texts, m_titles, m_owners;
    int m_answer;
};
