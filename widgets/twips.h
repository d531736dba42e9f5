#pragma once
// Design positions and sizes are in twips (1/1440 inch; 15 twips are one pixel at 96 dpi).
// A control placed in twips keeps its twips as properties, so the layout rule computes with
// the exact design values instead of pixels rounded back.
#include "windows/layout_rule.h"

class QWidget;

namespace twips {

double PixelsPerTwip();  // the primary screen's logical dpi / 1440
int ToPixels(int twips);
int FromPixels(int pixels);

void SetGeometry(QWidget* widget, int left, int top, int width, int height);
void SetGeometry(QWidget* widget, const layout::Rect& r);
layout::Rect Geometry(const QWidget* widget);  // the twips last set, or the pixels converted

}  // namespace twips
