#include "widgets/pick_combo.h"

#include <QKeyEvent>

PickComboBox::PickComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    m_field = new Field(this);
    setLineEdit(m_field);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!m_field->finishing) emit picked(index);
    });
}

void PickComboBox::Field::focusOutEvent(QFocusEvent* event) {
    finishing = true;
    QLineEdit::focusOutEvent(event);
    finishing = false;
}

void PickComboBox::Field::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    finishing = enter;
    QLineEdit::keyPressEvent(event);
    finishing = false;
}
