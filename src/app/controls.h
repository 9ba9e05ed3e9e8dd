#pragma once

#include "app/ui.h"

#include <QLabel>
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

// The light-yellow, dark-blue look of the hit detail labels.
inline void detailColors(QWidget *w)
{
    Ui::setColors(w, QColor(255, 255, 192), QColor(0, 0, 192));
}

} // namespace Controls
