#include "ui/artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace kesh {
namespace {

const QColor kSpace(16, 24, 56);
const QColor kSpaceEdge(72, 96, 160);
const QColor kHull(200, 204, 212);
const QColor kHullShade(120, 128, 144);
const QColor kWire(96, 232, 120);
const QColor kGlow(255, 128, 32);
const QColor kStar(255, 255, 224);
const QColor kPlanet(40, 88, 176);
const QColor kPlanetRim(120, 176, 248);

void Stars(QPainter& painter, double unit, const QPointF* points, int count) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kStar);
    for (int i = 0; i < count; ++i) {
        painter.drawRect(QRectF(points[i].x() * unit, points[i].y() * unit, unit, unit));
    }
}

// A wedge seen from above and a little behind, nose towards the upper right, in a unit box
// of 32 x 32 scaled by `unit`.
void Ship(QPainter& painter, double unit, const QPointF& offset) {
    const auto at = [&](double x, double y) {
        return QPointF(offset.x() + x * unit, offset.y() + y * unit);
    };
    const QPolygonF top({at(28, 4), at(6, 16), at(13, 19)});
    const QPolygonF side({at(28, 4), at(13, 19), at(16, 26)});
    painter.setPen(Qt::NoPen);
    painter.setBrush(kHull);
    painter.drawPolygon(top);
    painter.setBrush(kHullShade);
    painter.drawPolygon(side);
    painter.setBrush(kGlow);
    painter.drawPolygon(QPolygonF({at(6, 16), at(13, 19), at(16, 26), at(10, 24)}));
}

}  // namespace

QImage PaintAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, size >= 32);
    const double unit = size / 32.0;

    painter.setPen(QPen(kSpaceEdge, unit));
    painter.setBrush(kSpace);
    painter.drawRoundedRect(QRectF(0.5 * unit, 0.5 * unit, 31 * unit, 31 * unit), 5 * unit,
                            5 * unit);
    if (size >= 32) {
        const QPointF stars[] = {{5, 5}, {12, 8}, {21, 22}, {26, 16}, {6, 27}, {17, 4}};
        Stars(painter, unit, stars, 6);
    } else {
        const QPointF stars[] = {{6, 6}, {24, 22}, {6, 26}};
        Stars(painter, unit, stars, 3);
    }
    Ship(painter, unit, QPointF(0, 0));
    // The outline of the model's faces, as the converter sees them.
    painter.setPen(QPen(kWire, size >= 32 ? 1.0 : 0.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(28 * unit, 4 * unit), QPointF(13 * unit, 19 * unit),
                                    QPointF(16 * unit, 26 * unit)}));
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(PaintAppIcon(16)));
    icon.addPixmap(QPixmap::fromImage(PaintAppIcon(32)));
    return icon;
}

QImage PaintAboutPicture() {
    QImage image(kAboutPictureWidth, kAboutPictureHeight, QImage::Format_RGB32);
    image.fill(kSpace);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);

    const QPointF stars[] = {{3, 4},  {14, 2},  {30, 6},  {47, 3},  {58, 9},
                             {8, 17}, {55, 22}, {38, 14}, {22, 25}, {61, 30}};
    Stars(painter, 1.0, stars, 10);

    // The planet: a wide disc whose top edge crosses the lower part of the picture.
    painter.setPen(QPen(kPlanetRim, 1.5));
    painter.setBrush(kPlanet);
    painter.drawEllipse(QRectF(-30, 33, 124, 60));

    // The ship, solid on the left, and its wireframe model on the right.
    Ship(painter, 0.75, QPointF(2, 6));
    painter.setPen(QPen(kWire, 1.0));
    painter.setBrush(Qt::NoBrush);
    const auto at = [](double x, double y) { return QPointF(30 + x * 0.75, 4 + y * 0.75); };
    const QPolygonF outline({at(28, 4), at(6, 16), at(10, 24), at(16, 26)});
    painter.drawPolygon(outline);
    painter.drawLine(at(28, 4), at(13, 19));
    painter.drawLine(at(6, 16), at(13, 19));
    painter.drawLine(at(13, 19), at(16, 26));
    // The arrow from the model to its conversion.
    painter.setPen(QPen(kStar, 1.0));
    painter.drawLine(QPointF(24, 30), QPointF(34, 30));
    painter.drawPolyline(QPolygonF({QPointF(31, 27), QPointF(34, 30), QPointF(31, 33)}));
    return image;
}

}  // namespace kesh
