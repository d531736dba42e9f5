#include "viewer/skin_label.h"

SkinLabel::SkinLabel(QWidget* parent) : QLabel(parent) {}
