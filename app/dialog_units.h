#pragma once
// Dialog templates give positions in dialog units: a quarter of the dialog
// font's average character width across, an eighth of its height down. The
// windows convert them to pixels as the platform does, so that they keep the
// template's proportions in whatever font they get.

#include <QFont>
#include <QRect>
#include <QSize>

namespace morvane::app {

struct DialogBaseUnits {
    int averageWidth = 0;  // pixels: the average of the 52 Latin letters, rounded
    int height = 0;        // pixels: the font's line height
};

DialogBaseUnits BaseUnitsFor(const QFont& font);

// Each corner at x * averageWidth / 4, y * height / 8, rounded to the nearest
// pixel.
QRect DialogUnitsToPixels(const DialogBaseUnits& units, int x, int y, int width, int height);
QSize DialogUnitsToPixels(const DialogBaseUnits& units, int width, int height);

// The font that both templates name.
QFont TemplateFont();

}  // namespace morvane::app
