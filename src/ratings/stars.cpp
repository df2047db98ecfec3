#include "ratings/stars.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QtMath>

#include <algorithm>

namespace {

int starSide(const QRect &rect)
{
    return std::max(4, rect.height() - 4);
}

QPainterPath starPath(const QRectF &box)
{
    QPainterPath path;
    const QPointF centre = box.center();
    const qreal outer = box.width() / 2;
    const qreal inner = outer * 0.45;
    for (int point = 0; point < 10; ++point) {
        const qreal radius = point % 2 ? inner : outer;
        const qreal angle = -M_PI / 2 + point * M_PI / 5;
        const QPointF corner = centre + QPointF(radius * qCos(angle), radius * qSin(angle));
        if (point == 0)
            path.moveTo(corner);
        else
            path.lineTo(corner);
    }
    path.closeSubpath();
    return path;
}

}  // namespace

void Stars::paint(QPainter &painter, const QRect &rect, int rating, const QPalette &palette)
{
    const int side = starSide(rect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette.color(QPalette::Text), 1));
    for (int star = 0; star < Count; ++star) {
        const QRectF box(rect.left() + 2 + star * side, rect.top() + (rect.height() - side) / 2.0,
                         side, side);
        const QPainterPath path = starPath(box.adjusted(1, 1, -1, -1));
        const int filled = std::clamp(rating - 2 * star, 0, 2);  // halves of this star
        if (filled > 0) {
            painter.save();
            painter.setClipRect(QRectF(box.left(), box.top(), box.width() * filled / 2, box.height()));
            painter.fillPath(path, QColor(230, 170, 20));
            painter.restore();
        }
        painter.drawPath(path);
    }
    painter.restore();
}

int Stars::ratingAt(const QRect &rect, int x)
{
    const int star = (x - rect.left() - 2) / starSide(rect);
    return 2 * std::clamp(star + 1, 1, Count);
}

int Stars::width(const QRect &rect)
{
    return 4 + Count * starSide(rect);
}
