#include "support/modal_watcher.h"

#include <QApplication>
#include <QMessageBox>

ModalWatcher::ModalWatcher() {
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::poll);
    m_timer.start(5);
}

void ModalWatcher::poll() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        m_texts << box->text();
        m_titles << box->windowTitle();
        box->done(QMessageBox::Ok);
    }
}
