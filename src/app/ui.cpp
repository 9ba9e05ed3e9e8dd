#include "ui.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <functional>

namespace Ui {

void centre(QWidget *window, const QWidget *owner)
{
    QPoint middle;
    if (owner && owner->isVisible())
        middle = owner->frameGeometry().center();
    else if (const QScreen *screen = QGuiApplication::primaryScreen())
        middle = screen->availableGeometry().center();
    else
        return;
    window->move(middle - window->rect().center());
}

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
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF())
           + 0.0722 * channel(rgb.blueF());
}

// Above this luminance black text reads better than white.
constexpr double kLightBackground = 0.18;

bool isLight(const QColor &c)
{
    return luminance(c) > kLightBackground;
}

// Watches one widget for events of some types.
class EventWatcher : public QObject
{
public:
    EventWatcher(QWidget *w, std::initializer_list<QEvent::Type> types, std::function<void()> react)
        : QObject(w), m_widget(w), m_types(types), m_react(std::move(react))
    {
        w->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_widget && m_types.contains(event->type()))
            m_react();
        return false;
    }

private:
    QWidget *m_widget;
    QList<QEvent::Type> m_types;
    std::function<void()> m_react;
};

// Sets the colours of a widget that depend on the desktop's palette, now and after every change
// of it.
void followPalette(QWidget *w, const std::function<void(const QWidget *, QPalette &)> &colors)
{
    const auto apply = [w, colors] {
        QPalette p = w->palette();
        colors(w, p);
        // Comparing also ends the palette change that setting it sets off.
        if (p != w->palette())
            w->setPalette(p);
    };
    whenever(w, {QEvent::PaletteChange, QEvent::ParentChange}, apply);
    apply();
}

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
        const float shifted =
            darken ? std::max(0.0f, l - step * 0.01f) : std::min(1.0f, l + step * 0.01f);
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
        p.setColor(QPalette::PlaceholderText,
                   light ? QColor(110, 110, 110) : QColor(170, 170, 170));
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

void whenever(QWidget *w, std::initializer_list<QEvent::Type> types, std::function<void()> react)
{
    new EventWatcher(w, types, std::move(react));
}

void setReadableText(QWidget *w, const QColor &designed)
{
    followPalette(w, [designed](const QWidget *widget, QPalette &p) {
        const QColor shown = readable(designed, backgroundBehind(widget));
        p.setColor(QPalette::WindowText, shown);
        p.setColor(QPalette::Text, shown);
    });
}

void lookReadOnly(QLineEdit *field)
{
    field->setReadOnly(true);
    followPalette(field, [](const QWidget *widget, QPalette &p) {
        const QWidget *parent = widget->parentWidget();
        const QColor behind = parent ? backgroundBehind(parent) : p.color(QPalette::Window);
        p.setColor(QPalette::Base, behind);
        p.setColor(QPalette::Text, readable(p.color(QPalette::WindowText), behind));
    });
}

} // namespace Ui
