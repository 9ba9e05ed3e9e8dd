#include "accessibility.h"

#include "clicklabel.h"
#include "ui.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QShortcut>

namespace {

const char kDecorative[] = "tarvoDecorative";
const char kSavedFocusPolicy[] = "tarvoSavedFocusPolicy";

// The text of a label that names the control (its buddy), without the mnemonic marker.
QString buddyText(const QWidget *control)
{
    const QWidget *parent = control->parentWidget();
    if (!parent)
        return QString();
    for (const QObject *child : parent->children()) {
        const auto *label = qobject_cast<const QLabel *>(child);
        if (label && label->buddy() == control)
            return QString(label->text()).remove(QLatin1Char('&'));
    }
    return QString();
}

// Qt names a control inside a frame after the frame's caption when nothing else names it, so
// that every picture and field of one frame would be announced alike; here a control without a
// name of its own stays unnamed (and the accessibility test finds it).
QString ownName(const QWidget *control)
{
    const QString name = control->accessibleName();
    return name.isEmpty() ? buddyText(control) : name;
}

// A picture (or caption) that acts on a click: a button, or a link, for assistive technology.
class PictureButtonAccessible : public QAccessibleWidget
{
public:
    explicit PictureButtonAccessible(ClickLabel *label)
        : QAccessibleWidget(label, label->isLink() ? QAccessible::Link : QAccessible::Button)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const QString toolTip = widget()->toolTip();
        switch (t) {
        case QAccessible::Name: {
            QString name = widget()->accessibleName();
            if (name.isEmpty())
                name = toolTip;
            if (name.isEmpty())
                name = buddyText(widget());
            return name.isEmpty() ? label()->text() : name;
        }
        case QAccessible::Description: {
            const QString description = widget()->accessibleDescription();
            return description.isEmpty() && toolTip != text(QAccessible::Name) ? toolTip
                                                                               : description;
        }
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            label()->press();
    }

    QStringList keyBindingsForAction(const QString &) const override
    {
        return {QStringLiteral("space")};
    }

private:
    ClickLabel *label() const { return static_cast<ClickLabel *>(widget()); }
};

// A decoration: there, but not announced.
class DecorationAccessible : public QAccessibleWidget
{
public:
    explicit DecorationAccessible(QWidget *w)
        : QAccessibleWidget(w, qobject_cast<QLabel *>(w) ? QAccessible::Graphic
                                                         : QAccessible::Separator)
    {
    }

    QString text(QAccessible::Text) const override { return QString(); }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

// A combo box named by its own name or its caption. On Linux Qt names a combo box by its
// current text, which makes the search field announce the searched number instead of what the
// field is for.
class ComboAccessible : public QAccessibleWidget
{
public:
    explicit ComboAccessible(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    int childCount() const override { return combo()->isEditable() ? 2 : 1; }

    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (child->object() == combo()->view())
            return 0;
        if (combo()->isEditable() && child->object() == combo()->lineEdit())
            return 1;
        return -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QLineEdit *edit = combo()->lineEdit();
        if (edit && edit->rect().contains(edit->mapFromGlobal(QPoint(x, y))))
            return child(1);
        return nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return ownName(widget());
        case QAccessible::Value:
            return combo()->currentText();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

    void doAction(const QString &action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (combo()->view()->isVisible())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *interfaceFor(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (widget->property(kDecorative).toBool())
        return new DecorationAccessible(widget);
    if (className == QLatin1String("ClickLabel")) {
        auto *label = static_cast<ClickLabel *>(widget);
        return label->isButton() ? new PictureButtonAccessible(label) : nullptr;
    }
    if (className == QLatin1String("QComboBox"))
        return new ComboAccessible(static_cast<QComboBox *>(widget));
    return nullptr;
}

// The shift that brings a span back inside the area's span, on one axis.
int shiftInto(int start, int length, int areaStart, int areaLength)
{
    if (start + length > areaStart + areaLength)
        return areaStart + areaLength - (start + length);
    if (start < areaStart)
        return areaStart - start;
    return 0;
}

// Takes the window's focusable controls out of the tab chain while they lie outside its visible
// area, and puts them back as soon as they can be seen.
void fitTabChainToView(QWidget *window)
{
    const QRect view = window->rect();
    const QList<QWidget *> children = window->findChildren<QWidget *>();
    for (QWidget *w : children) {
        if (w->isWindow())
            continue;
        const QRect where(w->mapTo(window, QPoint(0, 0)), w->size());
        const bool seen = view.contains(where.center());
        const QVariant saved = w->property(kSavedFocusPolicy);
        if (!seen && !saved.isValid() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setProperty(kSavedFocusPolicy, int(w->focusPolicy()));
            w->setFocusPolicy(Qt::FocusPolicy(w->focusPolicy() & ~Qt::TabFocus));
        } else if (seen && saved.isValid()) {
            w->setFocusPolicy(Qt::FocusPolicy(saved.toInt()));
            w->setProperty(kSavedFocusPolicy, QVariant());
        }
    }
}

} // namespace

namespace A11y {

void install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // Qt's own factory for its widgets is installed with the application; factories installed
    // later are asked first.
    QAccessible::installFactory(interfaceFor);
}

void renew(QWidget *control)
{
    install();
    // An interface made before the control became what it is now (a label made a button, a
    // picture declared decoration) would be kept for the control's life.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(control))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void name(QWidget *control, const QString &name)
{
    install();
    control->setAccessibleName(name);
    if (auto *combo = qobject_cast<QComboBox *>(control)) {
        renew(combo);
        if (combo->lineEdit())
            combo->lineEdit()->setAccessibleName(name);
    }
}

void nameFromToolTip(QWidget *control)
{
    name(control, control->toolTip());
}

void hideDecorative(QWidget *decoration)
{
    decoration->setProperty(kDecorative, true);
    decoration->setFocusPolicy(Qt::NoFocus);
    renew(decoration);
}

void onEscape(QWidget *scope, const std::function<void()> &action)
{
    auto *shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), scope);
    shortcut->setContext(scope->isWindow() ? Qt::WindowShortcut : Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, scope, action);
}

void tabOrder(std::initializer_list<QWidget *> controls)
{
    QWidget *previous = nullptr;
    for (QWidget *control : controls) {
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

void tabChainFollowsView(QWidget *window)
{
    Ui::whenever(window, {QEvent::Resize, QEvent::Show}, [window] { fitTabChainToView(window); });
}

void keepOnScreen(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    const QSize margins = frame.size() - window->size();
    const QSize fitted = window->size().boundedTo(area.size() - margins);
    if (fitted != window->size()) {
        window->resize(fitted);
        frame.setSize(fitted + margins);
    }
    const QPoint shift(shiftInto(frame.x(), frame.width(), area.x(), area.width()),
                       shiftInto(frame.y(), frame.height(), area.y(), area.height()));
    if (!shift.isNull())
        window->move(window->pos() + shift);
}

} // namespace A11y
