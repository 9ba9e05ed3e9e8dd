#include "ui.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>

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
    QApplication::setFont(font(QStringLiteral("MS Sans Serif"), 8.25));
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

void setColors(QWidget *w, const QColor &background, const QColor &text)
{
    QPalette p = w->palette();
    if (background.isValid()) {
        p.setColor(QPalette::Window, background);
        p.setColor(QPalette::Base, background);
        w->setAutoFillBackground(true);
    }
    if (text.isValid()) {
        p.setColor(QPalette::WindowText, text);
        p.setColor(QPalette::Text, text);
        p.setColor(QPalette::ButtonText, text);
    }
    w->setPalette(p);
}

} // namespace Ui
