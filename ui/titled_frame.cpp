#include "ui/titled_frame.h"

#include <qdrawutil.h>
#include <QPainter>
#include <QStyle>

namespace kesh {

int TitledFrame::LineTop() const {
    return fontMetrics().height() / 2;
}

void TitledFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // An etched line: a dark line with a light one inside it.
    const QRect frame = rect().adjusted(0, LineTop(), 0, 0);
    qDrawShadeRect(&painter, frame, palette(), true, 1, 0);

    // The title interrupts the top line, one average character in from the left edge, with
    // a blank on each side of it.
    const QFontMetrics metrics = fontMetrics();
    const int gap = metrics.horizontalAdvance(QLatin1Char(' ')) / 2 + 1;
    const QRect titleRect(metrics.averageCharWidth(), 0,
                          metrics.horizontalAdvance(title()) + 2 * gap, metrics.height());
    painter.fillRect(titleRect, palette().window());
    style()->drawItemText(&painter, titleRect, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), title(), QPalette::WindowText);
}

}  // namespace kesh
