#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

class QLabel;

// Windows are laid out in twips, 15 to a pixel, with absolute geometry so that they look as
// designed.
namespace Ui {

constexpr int px(int twips)
{
    return twips >= 0 ? (twips + 7) / 15 : -((-twips + 7) / 15);
}

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

inline void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(rect(left, top, width, height));
}

// The named family, with the platform's fallback, at a point size.
QFont font(const QString &family, qreal pointSize, bool bold = false);

// Maps the designed Windows font families to metric-compatible faces where the system has them,
// and makes the designed default (MS Sans Serif 8.25 pt) the application font.
void installFonts();

// Widens a label whose text does not fit its designed width (other fonts run wider), keeping
// its position.
void fitLabel(QLabel *label);

// Narrows a label's font until its text fits its designed width, for a label whose right
// neighbour leaves no room to widen it.
void shrinkToFit(QLabel *label, int designedWidthPx);

// Background and text colour of a widget through its palette.
void setColors(QWidget *w, const QColor &background, const QColor &text = QColor());

} // namespace Ui
