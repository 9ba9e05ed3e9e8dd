#include "ui.h"

#include <QApplication>
#include <QFontMetrics>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <functional>

namespace Ui {

QFont font(const QString &family, qreal pointSize, bool bold)
{
    QFont f(family);
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    // Linux has no "MS Sans Serif"; let the font matcher pick a face of the same kind.
    if (family.contains(QStringLiteral("Sans")) || family == QStringLiteral("Arial"))
        f.setStyleHint(QFont::SansSerif);
    else if (family.contains(QStringLiteral("Times")))
        f.setStyleHint(QFont::Serif);
    return f;
}

void installFonts()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    QApplication::setFont(designedFont());
}

QFont designedFont()
{
    return font(QStringLiteral("MS Sans Serif"), 8.25);
}

void fitLabel(QLabel *label)
{
    const int needed = label->sizeHint().width();
    if (needed > label->width())
        label->resize(needed, label->height());
}

void shrinkToFit(QLabel *label, int designedWidthPx)
{
    QFont f = label->font();
    while (f.pointSizeF() > 6.0 && QFontMetrics(f).horizontalAdvance(label->text()) > designedWidthPx) {
        f.setPointSizeF(f.pointSizeF() - 0.25);
        label->setFont(f);
    }
    label->resize(designedWidthPx, label->height());
}

namespace {

double luminance(const QColor &c)
{
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

// Above this luminance black text reads better than white.
constexpr double kLightBackground = 0.18;

bool isLight(const QColor &c)
{
    return luminance(c) > kLightBackground;
}

// Sets colours of a widget's palette that depend on the desktop's palette, now and after every
// change of it.
class PaletteFollower : public QObject
{
public:
    using Colors = std::function<void(const QWidget *, QPalette &)>;

    PaletteFollower(QWidget *w, Colors colors) : QObject(w), m_widget(w), m_colors(std::move(colors))
    {
        w->installEventFilter(this);
        apply();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_widget && (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange))
            apply();
        return false;
    }

private:
    void apply()
    {
        QPalette p = m_widget->palette();
        m_colors(m_widget, p);
        // Comparing also ends the palette change that setting it sets off.
        if (p != m_widget->palette())
            m_widget->setPalette(p);
    }

    QWidget *m_widget;
    Colors m_colors;
};

} // namespace

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readable(const QColor &designed, const QColor &background)
{
    if (contrast(designed, background) >= kReadableContrast)
        return designed;
    const bool darken = isLight(background);
    float h, s, l, a;
    designed.toHsl().getHslF(&h, &s, &l, &a);
    for (int step = 1; step <= 100; ++step) {
        const float shifted = darken ? std::max(0.0f, l - step * 0.01f) : std::min(1.0f, l + step * 0.01f);
        const QColor candidate = QColor::fromHslF(h, s, shifted, a).toRgb();
        if (contrast(candidate, background) >= kReadableContrast)
            return candidate;
    }
    return darken ? QColor(Qt::black) : QColor(Qt::white);
}

QColor backgroundBehind(const QWidget *w)
{
    for (const QWidget *at = w; at; at = at->parentWidget()) {
        if (at->autoFillBackground() || at->isWindow())
            return at->palette().color(at->backgroundRole());
    }
    return w->palette().color(QPalette::Window);
}

void setColors(QWidget *w, const QColor &background, const QColor &text)
{
    QPalette p = w->palette();
    if (background.isValid()) {
        const QPalette desktop = p;
        const bool light = isLight(background);
        // Text, fields and buttons to match the background, whatever the desktop's palette;
        // only the selection keeps the desktop's colours.
        p = QPalette(light ? QColor(240, 240, 240) : QColor(80, 80, 80), background);
        p.setColor(QPalette::Base, background);
        p.setColor(QPalette::PlaceholderText, light ? QColor(110, 110, 110) : QColor(170, 170, 170));
        for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
            p.setColor(QPalette::Active, role, desktop.color(QPalette::Active, role));
            p.setColor(QPalette::Inactive, role, desktop.color(QPalette::Inactive, role));
        }
        w->setAutoFillBackground(true);
    }
    if (text.isValid()) {
        const QColor shown = background.isValid() ? readable(text, background) : text;
        p.setColor(QPalette::WindowText, shown);
        p.setColor(QPalette::Text, shown);
    }
    w->setPalette(p);
}

void setReadableText(QWidget *w, const QColor &designed)
{
    new PaletteFollower(w, [designed](const QWidget *widget, QPalette &p) {
        const QColor shown = readable(designed, backgroundBehind(widget));
        p.setColor(QPalette::WindowText, shown);
        p.setColor(QPalette::Text, shown);
    });
}

void lookReadOnly(QLineEdit *field)
{
    field->setReadOnly(true);
    new PaletteFollower(field, [](const QWidget *widget, QPalette &p) {
        const QWidget *parent = widget->parentWidget();
        const QColor behind = parent ? backgroundBehind(parent) : p.color(QPalette::Window);
        p.setColor(QPalette::Base, behind);
        p.setColor(QPalette::Text, readable(p.color(QPalette::WindowText), behind));
    });
}

} // namespace Ui
