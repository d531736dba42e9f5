#pragma once
// Keeps a window alive while one of its handlers pumps events (a download): a close in the
// meantime only hides it, and a window that deletes itself on close is deleted once the
// handler has returned, never under it. closed() tells the handler the window was closed
// meanwhile, so it can leave without touching the window again.
#include <QPointer>
#include <QWidget>

class HandlerGuard {
public:
    explicit HandlerGuard(QWidget* window);
    ~HandlerGuard();
    HandlerGuard(const HandlerGuard&) = delete;
    HandlerGuard& operator=(const HandlerGuard&) = delete;

    bool closed() const;

private:
    QPointer<QWidget> m_window;
    bool m_deletesOnClose;
    bool m_wasVisible;
};
