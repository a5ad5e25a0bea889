// Dialog units: the font-relative coordinates in which the dialog templates are laid out.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace kesh {

// A horizontal dialog unit is a quarter of the font's average character width, a vertical
// one an eighth of its height. The average is taken over the 52 letters of the alphabet, as
// the templates' home platform measures it; a font's own average (over all its glyphs) is
// often narrower and would clip the labels. Each edge is converted on its own and rounded to the
// nearest pixel, so adjacent controls stay adjacent.
struct DialogUnits {
    int baseX = 4;  // average width of the letters a-z and A-Z, in whole pixels
    int baseY = 8;  // font height in pixels

    static DialogUnits ForFont(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    // The pixel rectangle of a control placed at x, y with the given width and height.
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;
};

}  // namespace kesh
