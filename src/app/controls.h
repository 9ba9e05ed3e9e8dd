#pragma once

#include "app/accessibility.h"
#include "app/clicklabel.h"
#include "app/ui.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <utility>

// Small builders for the controls of the windows, laid out in twips.
namespace Controls {

template <typename Label = QLabel>
Label *label(QWidget *parent, const char *name, const QString &text, int l, int t, int w, int h)
{
    auto *label = new Label(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText); // file names are shown as they are
    label->setText(text);
    Ui::place(label, l, t, w, h);
    Ui::fitLabel(label);
    return label;
}

// A control of type T carrying its designed name and place; further arguments go to T's
// constructor ahead of the parent.
template <typename T, typename... Args>
T *make(QWidget *parent, const char *name, int l, int t, int w, int h, Args &&...args)
{
    auto *control = new T(std::forward<Args>(args)..., parent);
    control->setObjectName(QLatin1String(name));
    Ui::place(control, l, t, w, h);
    return control;
}

inline QPushButton *button(QWidget *parent, const char *name, const QString &caption, int l, int t, int w, int h)
{
    return make<QPushButton>(parent, name, l, t, w, h, caption);
}

// A picture that acts as a button, drawn to fit its place; named for screen readers by its
// tooltip.
template <typename Draw>
ClickLabel *pictureButton(QWidget *parent, const char *name, Draw draw, const QString &toolTip,
                          int l, int t, int w, int h)
{
    auto *picture = make<ClickLabel>(parent, name, l, t, w, h);
    picture->setCursor(Qt::PointingHandCursor);
    picture->setAlignment(Qt::AlignCenter);
    picture->setToolTip(toolTip);
    picture->setPixmap(draw(picture->size()));
    picture->makeButton();
    return picture;
}

// A black line from (l, t), w or h being 0; decoration that screen readers leave out.
inline QFrame *line(QWidget *parent, const char *name, int l, int t, int w, int h)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setGeometry(Ui::px(l), Ui::px(t), qMax(1, Ui::px(w)), qMax(1, Ui::px(h)));
    Ui::setColors(line, Qt::black);
    A11y::hideDecorative(line);
    return line;
}

// The light-yellow, dark-blue look of the hit detail labels.
inline void detailColors(QWidget *w)
{
    Ui::setColors(w, QColor(255, 255, 192), QColor(0, 0, 192));
}

} // namespace Controls
