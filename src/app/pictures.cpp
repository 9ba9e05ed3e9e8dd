#include "pictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

namespace Pictures {

QPixmap paint(const QSize &size, const std::function<void(QPainter &, qreal, qreal)> &draw)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pm(size * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, size.width(), size.height());
    return pm;
}

QPixmap paintOnGrid(const QSize &size, qreal grid, const std::function<void(QPainter &)> &draw)
{
    return paint(size, [&](QPainter &p, qreal w, qreal h) {
        p.scale(w / grid, h / grid);
        draw(p);
    });
}

namespace {

// A right-pointing arrow from (x0, y) to (x1, y) with its head `head` long.
void arrow(QPainter &p, qreal x0, qreal x1, qreal y, qreal head)
{
    p.drawLine(QPointF(x0, y), QPointF(x1, y));
    p.drawLine(QPointF(x1, y), QPointF(x1 - head, y - head));
    p.drawLine(QPointF(x1, y), QPointF(x1 - head, y + head));
}

// A sheet of paper with a folded corner on the 100-unit grid.
void foldedSheet(QPainter &p)
{
    QPainterPath sheet;
    sheet.moveTo(18, 4);
    sheet.lineTo(62, 4);
    sheet.lineTo(82, 24);
    sheet.lineTo(82, 96);
    sheet.lineTo(18, 96);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 2.5));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setBrush(QColor(210, 210, 210));
    p.drawPolygon(QPolygonF({QPointF(62, 4), QPointF(62, 24), QPointF(82, 24)}));
    p.setPen(QPen(QColor(150, 150, 150), 2));
    for (int y = 34; y <= 50; y += 8)
        p.drawLine(QPointF(28, y), QPointF(72, y));
}

// A padlock in the lower part of the 100-unit grid; open shows the shackle lifted.
void padlock(QPainter &p, bool open)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 90, 90), 7, Qt::SolidLine, Qt::RoundCap));
    QPainterPath shackle;
    const qreal lift = open ? 12 : 0;
    shackle.moveTo(38, 70 - lift);
    shackle.lineTo(38, 58 - lift);
    shackle.arcTo(QRectF(38, 44 - lift, 24, 28), 180, -180);
    shackle.lineTo(62, open ? 60 - lift : 70);
    p.drawPath(shackle);
    p.setPen(QPen(QColor(120, 80, 0), 2));
    p.setBrush(open ? QColor(120, 190, 90) : QColor(230, 170, 40));
    p.drawRoundedRect(QRectF(28, 68, 44, 28), 4, 4);
    p.setBrush(QColor(60, 40, 0));
    p.drawEllipse(QPointF(50, 80), 4, 4);
}

// A lined sheet on the 32-unit grid.
void linedSheet(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(90, 110, 160), 1.5));
    for (qreal y = r.top() + 5; y < r.bottom() - 3; y += 4)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

} // namespace

QPixmap stop(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        QPolygonF octagon;
        for (int i = 0; i < 8; ++i) {
            const qreal a = qDegreesToRadians(22.5 + 45.0 * i);
            octagon << QPointF(50 + 45 * qCos(a), 50 + 45 * qSin(a));
        }
        p.setPen(QPen(Qt::white, 5));
        p.setBrush(QColor(200, 30, 30));
        p.drawPolygon(octagon);
        p.setPen(QPen(Qt::white, 10));
        p.drawLine(QPointF(30, 50), QPointF(70, 50));
    });
}

QPixmap exitDoor(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        p.setPen(QPen(QColor(60, 60, 60), 5));
        p.setBrush(QColor(150, 100, 60));
        p.drawRect(QRectF(20, 10, 45, 80));
        p.setBrush(QColor(230, 200, 80));
        p.drawEllipse(QPointF(55, 50), 4, 4);
        p.setPen(QPen(QColor(0, 120, 0), 8, Qt::SolidLine, Qt::RoundCap));
        arrow(p, 60, 90, 50, 12);
    });
}

QPixmap logo(const QSize &size)
{
    return paint(size, [](QPainter &p, qreal w, qreal h) {
        p.fillRect(QRectF(0, 0, w, h), Qt::white);
        // A drawing sheet with a title block and a part outline.
        const QRectF sheet(w * 0.1, h * 0.08, w * 0.8, h * 0.84);
        p.setPen(QPen(QColor(0, 0, 128), 2));
        p.setBrush(QColor(235, 242, 255));
        p.drawRect(sheet);
        p.setPen(QPen(QColor(0, 0, 128), 1));
        const QRectF title(sheet.right() - w * 0.3, sheet.bottom() - h * 0.18, w * 0.3, h * 0.18);
        p.drawRect(title);
        p.drawLine(title.topLeft() + QPointF(0, title.height() / 2),
                   title.topRight() + QPointF(0, title.height() / 2));
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
        p.drawLine(QPointF(sheet.left() + w * 0.31, sheet.top() + h * 0.2),
                   QPointF(sheet.left() + w * 0.31, sheet.top() + h * 0.46));
        QFont f = p.font();
        f.setPixelSize(qMax(8, int(h * 0.06)));
        p.setFont(f);
        p.drawText(title.adjusted(4, 0, -4, -title.height() / 2), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("387-123-05"));
    });
}

QPixmap info(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        p.setPen(QPen(QColor(0, 40, 120), 4));
        p.setBrush(QColor(40, 100, 200));
        p.drawEllipse(QRectF(8, 8, 84, 84));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(50, 30), 7, 7);
        p.drawRoundedRect(QRectF(43, 42, 14, 36), 3, 3);
    });
}

QPixmap listToNotes(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        // The note sheet on the right, in the notes' light yellow.
        p.setPen(QPen(QColor(0, 0, 192), 4));
        p.setBrush(QColor(255, 255, 192));
        p.drawRect(QRectF(50, 15, 42, 70));
        // List lines on the left.
        p.setPen(QPen(QColor(60, 60, 60), 6, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(8, 25 + 15 * i), QPointF(30, 25 + 15 * i));
        // The arrow into the sheet.
        p.setPen(QPen(QColor(0, 120, 0), 7, Qt::SolidLine, Qt::RoundCap));
        arrow(p, 30, 72, 50, 10);
    });
}

QPixmap sheets(const QSize &size)
{
    return paint(size, [](QPainter &p, qreal w, qreal h) {
        for (int i = 2; i >= 0; --i) {
            const QRectF sheet(w * (0.1 + 0.08 * i), h * (0.06 + 0.05 * i), w * 0.7, h * 0.8);
            p.setPen(QPen(QColor(0, 0, 128), 1));
            p.setBrush(i == 0 ? QColor(235, 242, 255) : QColor(210, 220, 240));
            p.drawRect(sheet);
        }
        const QRectF top(w * 0.1, h * 0.06, w * 0.7, h * 0.8);
        p.drawLine(QPointF(top.left() + w * 0.1, top.top() + h * 0.2),
                   QPointF(top.right() - w * 0.1, top.top() + h * 0.2));
        p.drawEllipse(QPointF(top.center().x(), top.top() + h * 0.4), w * 0.18, w * 0.18);
        p.drawRect(QRectF(top.right() - w * 0.35, top.bottom() - h * 0.1, w * 0.3, h * 0.08));
    });
}

QPixmap envelope(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        const QRectF r(10, 20, 80, 60);
        p.setPen(QPen(QColor(0, 0, 160), 2));
        p.setBrush(QColor(255, 255, 224));
        p.drawRect(r);
        QPainterPath flap;
        flap.moveTo(r.topLeft());
        flap.lineTo(r.center().x(), r.top() + r.height() * 0.55);
        flap.lineTo(r.topRight());
        p.drawPath(flap);
    });
}

QPixmap drawingBoard(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        p.setPen(QPen(QColor(90, 60, 30), 3));
        p.drawLine(QPointF(50, 55), QPointF(25, 95));
        p.drawLine(QPointF(50, 55), QPointF(75, 95));
        p.setPen(QPen(QColor(0, 0, 128), 2));
        p.setBrush(QColor(245, 245, 235));
        p.drawRect(QRectF(8, 8, 84, 50));
        p.setPen(QPen(QColor(0, 0, 128), 1, Qt::DashLine));
        p.drawLine(QPointF(15, 20), QPointF(85, 45));
    });
}

QPixmap encryptFile(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        foldedSheet(p);
        padlock(p, false);
    });
}

QPixmap decryptFile(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        foldedSheet(p);
        padlock(p, true);
    });
}

QPixmap confirm(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        p.setPen(QPen(QColor(0, 120, 0), 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(16, 52), QPointF(40, 78), QPointF(86, 20)}));
    });
}

QPixmap cancel(const QSize &size)
{
    return paintOnGrid(size, 100, [](QPainter &p) {
        p.setPen(QPen(QColor(200, 0, 0), 16, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 18), QPointF(82, 82));
        p.drawLine(QPointF(82, 18), QPointF(18, 82));
    });
}

QPixmap copy(const QSize &size)
{
    return paintOnGrid(size, 32, [](QPainter &p) {
        linedSheet(p, QRectF(3, 3, 17, 21));
        linedSheet(p, QRectF(12, 9, 17, 21));
    });
}

QPixmap paste(const QSize &size)
{
    return paintOnGrid(size, 32, [](QPainter &p) {
        p.setPen(QPen(QColor(70, 45, 20), 1.5));
        p.setBrush(QColor(170, 115, 60));
        p.drawRoundedRect(QRectF(4, 4, 24, 26), 2, 2);
        linedSheet(p, QRectF(8, 9, 16, 18));
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.setBrush(QColor(190, 190, 200));
        p.drawRoundedRect(QRectF(11, 1.5, 10, 6), 2, 2);
    });
}

QPixmap clear(const QSize &size)
{
    return paintOnGrid(size, 32, [](QPainter &p) {
        p.setPen(QPen(QColor(40, 40, 40), 2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 2, 22, 28));
        p.setPen(QPen(QColor(210, 30, 30), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 10), QPointF(29, 30));
        p.drawLine(QPointF(29, 10), QPointF(9, 30));
    });
}

QPixmap exit(const QSize &size)
{
    return paintOnGrid(size, 32, [](QPainter &p) {
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
        arrow(p, 16, 29, 16, 5);
    });
}

} // namespace Pictures
