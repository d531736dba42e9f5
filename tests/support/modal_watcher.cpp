#include "support/modal_watcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

ModalWatcher::ModalWatcher(int answer) : m_answer(answer) {
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::poll);
    m_timer.start(5);
}

void ModalWatcher::poll() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        m_texts << box->text();
        m_titles << box->windowTitle();
        m_owners << (box->parentWidget() ? box->parentWidget()->window()->objectName() : QString());
        if (QAbstractButton* button = box->button(static_cast<QMessageBox::StandardButton>(m_answer)))
            button->click();
        else
            box->done(QMessageBox::Ok);
    }
}
