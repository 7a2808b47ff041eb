#include "app/dialog_units.h"

#include <QFontMetrics>

namespace morvane::app {
namespace {

// a * b / c, rounded half away from zero, as the platform's MulDiv rounds.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogBaseUnits BaseUnitsFor(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average of 52 letters, rounded: (width / 26 + 1) / 2.
    return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const DialogBaseUnits& units, int x, int y, int width, int height) {
    // The corners are converted, not the size, as the platform maps a
    // template's rectangle; the size is what lies between them.
    const int left = MulDiv(x, units.averageWidth, 4);
    const int top = MulDiv(y, units.height, 8);
    const int right = MulDiv(x + width, units.averageWidth, 4);
    const int bottom = MulDiv(y + height, units.height, 8);
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

QSize DialogUnitsToPixels(const DialogBaseUnits& units, int width, int height) {
    return DialogUnitsToPixels(units, 0, 0, width, height).size();
}

QFont TemplateFont() {
    // "MS Sans Serif" exists on Windows alone; elsewhere the style hint picks
    // the system's plain sans-serif face at the same size.
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace morvane::app
