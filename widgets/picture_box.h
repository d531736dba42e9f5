#pragma once
// A plain drawing surface in the window's colours; its type name is "PictureBox".
#include <QFrame>

class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
};
