#include "widgets/skin_label.h"

SkinLabel::SkinLabel(QWidget* parent) : QLabel(parent) {}
