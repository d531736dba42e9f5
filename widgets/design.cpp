#include "widgets/design.h"

namespace design {

QFont Font(const char* family, double points, bool bold) {
    QFont f(QString::fromLatin1(family));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

}  // namespace design
