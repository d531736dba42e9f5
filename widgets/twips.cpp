#include "widgets/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <cmath>

namespace twips {
namespace {
constexpr const char* kLeft = "twipsLeft";
constexpr const char* kTop = "twipsTop";
constexpr const char* kWidth = "twipsWidth";
constexpr const char* kHeight = "twipsHeight";
}  // namespace

double PixelsPerTwip() {
    double dpi = 96.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const double logical = screen->logicalDotsPerInchX();
        if (logical >= 48.0 && logical <= 480.0) dpi = logical;
    }
    return dpi / 1440.0;
}

int ToPixels(int t) { return static_cast<int>(std::lround(t * PixelsPerTwip())); }
int FromPixels(int px) { return static_cast<int>(std::lround(px / PixelsPerTwip())); }

void SetGeometry(QWidget* w, int left, int top, int width, int height) {
    w->setProperty(kLeft, left);
    w->setProperty(kTop, top);
    w->setProperty(kWidth, width);
    w->setProperty(kHeight, height);
    w->setGeometry(ToPixels(left), ToPixels(top), ToPixels(width), ToPixels(height));
}

void SetGeometry(QWidget* w, const layout::Rect& r) { SetGeometry(w, r.left, r.top, r.width, r.height); }

layout::Rect Geometry(const QWidget* w) {
    const QVariant left = w->property(kLeft);
    if (left.isValid())
        return {left.toInt(), w->property(kTop).toInt(), w->property(kWidth).toInt(), w->property(kHeight).toInt()};
    const QRect g = w->geometry();
    return {FromPixels(g.x()), FromPixels(g.y()), FromPixels(g.width()), FromPixels(g.height())};
}

}  // namespace twips
