#include "ui/dialog_units.h"

#include <QFontMetrics>

namespace kesh {
namespace {

// units * base / divisor, rounded half away from zero.
int Scale(int units, int base, int divisor) {
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor
                                         : -((-product + half) / divisor));
}

}  // namespace

DialogUnits DialogUnits::ForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits units;
    // Half the width of a pair of letters, rounded; a font that reports nothing would
    // collapse the layout to a point.
    const int average = (letters / 26 + 1) / 2;
    units.baseX = average > 0 ? average : 4;
    units.baseY = metrics.height() > 0 ? metrics.height() : 8;
    return units;
}

int DialogUnits::X(int units) const {
    return Scale(units, baseX, 4);
}

int DialogUnits::Y(int units) const {
    return Scale(units, baseY, 8);
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const {
    return QSize(X(width), Y(height));
}

}  // namespace kesh
