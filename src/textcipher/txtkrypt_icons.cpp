#include "txtkrypt_icons.h"

#include <QPainter>
#include <QPainterPath>

namespace TxtKryptIcons {
namespace {

// Drawn on a 32 × 32 grid and scaled to the wanted size.
template <typename Draw>
QPixmap drawn(int size, Draw draw)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    draw(p);
    return pm;
}

void sheet(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(90, 110, 160), 1.5));
    for (qreal y = r.top() + 5; y < r.bottom() - 3; y += 4)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

} // namespace

QPixmap copy(int size)
{
    return drawn(size, [](QPainter &p) {
        sheet(p, QRectF(3, 3, 17, 21));
        sheet(p, QRectF(12, 9, 17, 21));
    });
}

QPixmap paste(int size)
{
    return drawn(size, [](QPainter &p) {
        p.setPen(QPen(QColor(70, 45, 20), 1.5));
        p.setBrush(QColor(170, 115, 60));
        p.drawRoundedRect(QRectF(4, 4, 24, 26), 2, 2);
        sheet(p, QRectF(8, 9, 16, 18));
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.setBrush(QColor(190, 190, 200));
        p.drawRoundedRect(QRectF(11, 1.5, 10, 6), 2, 2);
    });
}

QPixmap clear(int size)
{
    return drawn(size, [](QPainter &p) {
        p.setPen(QPen(QColor(40, 40, 40), 2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 2, 22, 28));
        p.setPen(QPen(QColor(210, 30, 30), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 10), QPointF(29, 30));
        p.drawLine(QPointF(29, 10), QPointF(9, 30));
    });
}

QPixmap exit(int size)
{
    return drawn(size, [](QPainter &p) {
        // A door standing open, and an arrow leading out.
        p.setPen(QPen(QColor(60, 40, 20), 1.5));
        p.setBrush(QColor(235, 225, 200));
        p.drawRect(QRectF(4, 2, 16, 28));
        QPainterPath door;
        door.moveTo(4, 2);
        door.lineTo(13, 6);
        door.lineTo(13, 31);
        door.lineTo(4, 30);
        door.closeSubpath();
        p.setBrush(QColor(150, 90, 40));
        p.drawPath(door);
        p.setPen(QPen(QColor(20, 140, 40), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(16, 16), QPointF(29, 16));
        p.drawLine(QPointF(24, 11), QPointF(29, 16));
        p.drawLine(QPointF(24, 21), QPointF(29, 16));
    });
}

} // namespace TxtKryptIcons
