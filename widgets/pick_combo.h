#pragma once
// A drop-down combo box with a text field whose `picked` signal means what a list pick means:
// the user chose an entry of the list (by mouse or arrow keys). Typing into the field, leaving
// it or pressing Enter never counts, even when the typed text equals an entry.
#include <QComboBox>
#include <QLineEdit>

class PickComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit PickComboBox(QWidget* parent = nullptr);

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
};
