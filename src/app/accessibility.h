#pragma once

#include <QString>

#include <functional>
#include <initializer_list>

class QLabel;
class QWidget;

// What screen readers and keyboard users need on top of the designed windows: names, hidden
// decoration, Escape, a tab chain that skips what cannot be seen, and windows that stay on
// their screen.
namespace A11y {

// Installs the program's accessible interfaces (picture buttons, decorations, combo boxes);
// the helpers below call it, so windows need not.
void install();

// Lets the control's accessible interface be made afresh, after it changed its kind.
void renew(QWidget *control);

// The name a screen reader announces for a control. An editable combo box passes it on to
// its edit field, which is what holds the focus.
void name(QWidget *control, const QString &name);

// A control whose tooltip says what it does (a picture button) is named by it.
void nameFromToolTip(QWidget *control);

// A picture or line that only decorates is left out for assistive technology.
void hideDecorative(QWidget *decoration);

// Escape in the window (or the part of it) runs `action`.
void onEscape(QWidget *scope, const std::function<void()> &action);

// Tab moves through the controls in this order. Qt leaves out a control that takes no focus at
// this time, so picture buttons must be made buttons first.
void tabOrder(std::initializer_list<QWidget *> controls);

// Controls of the window that lie outside its visible area (a panel uncovered by widening, a
// list below the start-up height) leave the tab chain while they cannot be seen, so the focus
// never disappears from view.
void tabChainFollowsView(QWidget *window);

// Moves a window that runs past its screen's usable area back into it; a window wider or
// taller than that area is narrowed to it.
void keepOnScreen(QWidget *window);

} // namespace A11y
