#include "clicklabel.h"

#include "accessibility.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

ClickLabel::ClickLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void ClickLabel::makeButton(KeyAction keyAction)
{
    m_button = true;
    m_keyAction = keyAction;
    // Tab only: a mouse click acts without moving the focus, as it did before.
    setFocusPolicy(Qt::TabFocus);
    A11y::renew(this);
}

void ClickLabel::makeLink()
{
    m_link = true;
    makeButton();
}

void ClickLabel::press()
{
    if (m_keyAction == KeyAction::DoubleClick)
        emit doubleClicked();
    else
        emit clicked();
}

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool wasPressed = m_pressed;
    m_pressed = false;
    event->accept();
    if (wasPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    // The second press of a double-click is no click of its own.
    m_pressed = false;
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

void ClickLabel::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (m_button && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
        && !event->isAutoRepeat()
        && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        event->accept();
        press();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!m_button || !hasFocus())
        return;
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}
