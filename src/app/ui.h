#pragma once

#include <QColor>
#include <QEvent>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <initializer_list>

class QLabel;
class QLineEdit;

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

// Moves a window so that it stands centred on owner, or on the screen when there is no
// owner or it is hidden.
void centre(QWidget *window, const QWidget *owner = nullptr);

// The named family, with the platform's fallback, at a point size.
QFont font(const QString &family, qreal pointSize, bool bold = false);

// The designed default font, MS Sans Serif 8.25 pt. Each window sets it as its own font, as the
// texts are laid out for it: a desktop that imposes a larger application font would cut them.
QFont designedFont();

// Maps the designed Windows font families to metric-compatible faces where the system has them,
// and makes the designed default (MS Sans Serif 8.25 pt) the application font.
void installFonts();

// Widens a label whose text does not fit its designed width (other fonts run wider), keeping
// its position.
void fitLabel(QLabel *label);

// Narrows a label's font until its text fits its designed width, for a label whose right
// neighbour leaves no room to widen it.
void shrinkToFit(QLabel *label, int designedWidthPx);

// Runs `react` whenever an event of one of the types has reached the widget.
void whenever(QWidget *w, std::initializer_list<QEvent::Type> types, std::function<void()> react);

// Background and text colour of a widget through its palette. A widget given a background of
// its own gets a whole palette to go with it (text, fields, buttons), so that it reads the same
// under a light and a dark desktop; a text colour given with it is kept where it reads well on
// that background (see readable()). A text colour alone is taken as it is.
void setColors(QWidget *w, const QColor &background, const QColor &text = QColor());

// A designed text colour for a widget that shows the desktop's background: kept in hue, made
// as much lighter or darker as that background needs, again whenever the palette changes.
void setReadableText(QWidget *w, const QColor &designed);

// A field the program fills and the user only reads: no typing, the background of what lies
// behind it instead of a field's white, the text still selectable and copyable.
void lookReadOnly(QLineEdit *field);

// Contrast ratio of two colours as the web content accessibility guidelines define it, from
// 1 (same) to 21 (black on white).
double contrast(const QColor &a, const QColor &b);

// Normal text needs a contrast of 4.5:1 to its background.
constexpr double kReadableContrast = 4.5;

// The designed colour when it reaches kReadableContrast on the background; otherwise the same
// hue made just as much darker (on a light background) or lighter (on a dark one) as it takes.
QColor readable(const QColor &designed, const QColor &background);

// The colour a widget's text is drawn on when it fills no background itself: that of the
// nearest widget below it that does, or of its window.
QColor backgroundBehind(const QWidget *w);

} // namespace Ui
