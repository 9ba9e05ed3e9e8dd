#pragma once

#include <QLabel>

// A label or picture that answers clicks: clicked() when the left button is released over
// it, doubleClicked() on a double-click.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    // What Space and Enter stand for on a label made a button.
    enum class KeyAction { Click, DoubleClick };

    explicit ClickLabel(QWidget *parent = nullptr);

    // Makes the label a button for keyboard and screen-reader users: Tab reaches it, a frame
    // shows the focus, Space and Enter act as a click (or a double-click, for a spot that acts
    // on a double-click only), and assistive technology sees a button (or a link) named by its
    // accessible name, else its tooltip, else the label captioning it, else its text.
    void makeButton(KeyAction keyAction = KeyAction::Click);
    void makeLink();
    bool isButton() const { return m_button; }
    bool isLink() const { return m_link; }

    // What Space, Enter and the accessible press action do.
    void press();

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_pressed = false;
    bool m_button = false;
    bool m_link = false;
    KeyAction m_keyAction = KeyAction::Click;
};
