#include "widgets/picture_box.h"

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
}
