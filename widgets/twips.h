#pragma once
// Design positions and sizes are in twips (1/1440 inch; 15 twips are one pixel at 96 dpi).
// A control placed in twips keeps its twips as properties, so the layout rule computes with
// the exact design values instead of pixels rounded back.
class QWidget;

namespace layout {

// A design rectangle in twips.
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

}  // namespace layout

namespace twips {

double PixelsPerTwip();  // the primary screen's logical dpi / 1440
int ToPixels(int twips);
int FromPixels(int pixels);

void SetGeometry(QWidget* widget, int left, int top, int width, int height);
void SetGeometry(QWidget* widget, const layout::Rect& r);
layout::Rect Geometry(const QWidget* widget);  // the twips last set, or the pixels converted

}  // namespace twips
