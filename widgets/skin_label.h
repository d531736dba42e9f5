#pragma once
// A label drawn by the skin. Its type name is "SkinLabel"; the window carries hidden
// templates that the skin's label conversion clones.
#include <QLabel>

class SkinLabel : public QLabel {
    Q_OBJECT
public:
    explicit SkinLabel(QWidget* parent = nullptr);
};
