#pragma once
// A drop-down combo box with a text field whose `picked` signal means what a list pick means:
// the user chose an entry of the list (by mouse or arrow keys). Typing into the field, leaving
// it or pressing Enter never counts, even when the typed text equals an entry.
#include <QComboBox>
#include <QLineEdit>
#include <QStringListModel>

class PickComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit PickComboBox(QWidget* parent = nullptr);

    // Replaces every item at once: one model reset instead of one insertion per item, so a
    // list of many thousands fills in milliseconds. A box filled this way is filled only so.
    void setItems(const QStringList& items);

signals:
    void picked(int index);

private:
    class Field : public QLineEdit {
    public:
        using QLineEdit::QLineEdit;
        bool finishing = false;  // the field is handing its typed text to the box

    protected:
        void focusOutEvent(QFocusEvent* event) override;
        void keyPressEvent(QKeyEvent* event) override;
    };
    Field* m_field;
    QStringListModel* m_items = nullptr;  // made by the first setItems
};
