#include "ui.h"

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
