#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

namespace Icons {

QPixmap stop(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF octagon;
    const qreal r = size * 0.45;
    const QPointF c(size / 2.0, size / 2.0);
    for (int i = 0; i < 8; ++i) {
        const qreal a = qDegreesToRadians(22.5 + 45.0 * i);
        octagon << c + QPointF(r * qCos(a), r * qSin(a));
    }
    p.setPen(QPen(Qt::white, size * 0.05));
    p.setBrush(QColor(200, 30, 30));
    p.drawPolygon(octagon);
    p.setPen(QPen(Qt::white, size * 0.1));
    p.drawLine(QPointF(size * 0.3, size * 0.5), QPointF(size * 0.7, size * 0.5));
    return pm;
}

QPixmap exitDoor(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), size * 0.05));
    p.setBrush(QColor(150, 100, 60));
    p.drawRect(QRectF(size * 0.2, size * 0.1, size * 0.45, size * 0.8));
    p.setBrush(QColor(230, 200, 80));
    p.drawEllipse(QPointF(size * 0.55, size * 0.5), size * 0.04, size * 0.04);
    p.setPen(QPen(QColor(0, 120, 0), size * 0.08, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(size * 0.6, size * 0.5), QPointF(size * 0.9, size * 0.5));
    p.drawLine(QPointF(size * 0.9, size * 0.5), QPointF(size * 0.78, size * 0.38));
    p.drawLine(QPointF(size * 0.9, size * 0.5), QPointF(size * 0.78, size * 0.62));
    return pm;
}

QPixmap logo(const QSize &size)
{
    QPixmap pm(size);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width();
    const qreal h = size.height();
    // A drawing sheet with a title block and a part outline.
    const QRectF sheet(w * 0.1, h * 0.08, w * 0.8, h * 0.84);
    p.setPen(QPen(QColor(0, 0, 128), 2));
    p.setBrush(QColor(235, 242, 255));
    p.drawRect(sheet);
    p.setPen(QPen(QColor(0, 0, 128), 1));
    const QRectF title(sheet.right() - w * 0.3, sheet.bottom() - h * 0.18, w * 0.3, h * 0.18);
    p.drawRect(title);
    p.drawLine(title.topLeft() + QPointF(0, title.height() / 2), title.topRight() + QPointF(0, title.height() / 2));
    QPainterPath part;
    part.moveTo(sheet.left() + w * 0.12, sheet.top() + h * 0.5);
    part.lineTo(sheet.left() + w * 0.12, sheet.top() + h * 0.15);
    part.lineTo(sheet.left() + w * 0.42, sheet.top() + h * 0.15);
    part.lineTo(sheet.left() + w * 0.5, sheet.top() + h * 0.25);
    part.lineTo(sheet.left() + w * 0.5, sheet.top() + h * 0.5);
    part.closeSubpath();
    p.setPen(QPen(QColor(0, 0, 128), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(part);
    p.drawEllipse(QPointF(sheet.left() + w * 0.31, sheet.top() + h * 0.33), w * 0.06, w * 0.06);
    p.setPen(QPen(QColor(0, 0, 128), 1, Qt::DashDotLine));
    p.drawLine(QPointF(sheet.left() + w * 0.31, sheet.top() + h * 0.2), QPointF(sheet.left() + w * 0.31, sheet.top() + h * 0.46));
    QFont f = p.font();
    f.setPixelSize(qMax(8, int(h * 0.06)));
    p.setFont(f);
    p.drawText(title.adjusted(4, 0, -4, -title.height() / 2), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("387-123-05"));
    return pm;
}

QPixmap paint(const QSize &size, const std::function<void(QPainter &, qreal, qreal)> &draw)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, size.width(), size.height());
    return pm;
}

QPixmap info(int size)
{
    return paint(QSize(size, size), [](QPainter &p, qreal w, qreal) {
        p.setPen(QPen(QColor(0, 40, 120), w * 0.04));
        p.setBrush(QColor(40, 100, 200));
        p.drawEllipse(QRectF(w * 0.08, w * 0.08, w * 0.84, w * 0.84));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(w * 0.5, w * 0.3), w * 0.07, w * 0.07);
        p.drawRoundedRect(QRectF(w * 0.43, w * 0.42, w * 0.14, w * 0.36), w * 0.03, w * 0.03);
    });
}

QPixmap listToNotes(int size)
{
    return paint(QSize(size, size), [](QPainter &p, qreal w, qreal) {
        // The note sheet on the right, in the notes' light yellow.
        p.setPen(QPen(QColor(0, 0, 192), w * 0.04));
        p.setBrush(QColor(255, 255, 192));
        p.drawRect(QRectF(w * 0.5, w * 0.15, w * 0.42, w * 0.7));
        // List lines on the left.
        p.setPen(QPen(QColor(60, 60, 60), w * 0.06, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 4; ++i) {
            const qreal y = w * (0.25 + 0.15 * i);
            p.drawLine(QPointF(w * 0.08, y), QPointF(w * 0.3, y));
        }
        // The arrow into the sheet.
        p.setPen(QPen(QColor(0, 120, 0), w * 0.07, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(w * 0.3, w * 0.5), QPointF(w * 0.72, w * 0.5));
        p.drawLine(QPointF(w * 0.72, w * 0.5), QPointF(w * 0.62, w * 0.4));
        p.drawLine(QPointF(w * 0.72, w * 0.5), QPointF(w * 0.62, w * 0.6));
    });
}

} // namespace Icons
