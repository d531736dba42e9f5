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

void PickComboBox::setItems(const QStringList& items) {
    // A box filled this way holds plain texts only: a string list model keeps them in one
    // array (the standard model makes an item object for each).
    if (!m_items) {
        m_items = new QStringListModel(this);
        setModel(m_items);
    }
    m_items->setStringList(items);
    setCurrentIndex(items.isEmpty() ? -1 : 0);
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
