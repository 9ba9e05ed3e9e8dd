#pragma once

#include "app/singlewindow.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class ClickLabel;

// The info and options window "INFO": title, help text, author links, and the options: the
// copy option the search window reads, the switch that shows delete and move for this run,
// and the editing of the search-path file. It tells the search window by its signals; every
// unload makes the search window reread its search paths.
class Form2 : public QWidget, public SingleWindow<Form2>
{
    Q_OBJECT

public:
    // The help text, lines separated by CR LF.
    static QString helpText();

    // The copy option, 0 or 1.
    int check1Value() const;
    void setCheck1Value(int value);

    // Carries out an operation ("open") on a file or a link with the desktop's program for
    // it; true when that was started. The show state has no meaning outside Windows.
    bool ShellExec(const QString &file, int showState, const QString &operation);


signals:
    // The copy option changed: the search window shows or hides its copy frame.
    void copyOptionChanged(bool on);
    // "Löschfunktion aktivieren": the search window shows delete and move until the program ends.
    void deleteAndMoveSwitchedOn();
    // The window was closed, however: the search paths are to be read again.
    void unloaded();

public slots:
    void Check1_Click();
    void Command1_Click();
    void cmd_path_Click();
    void cmd_exit_Click();
    void Label3_Click();
    void Label10_Click();
    void Label11_Click();
    void lbl_Click_DblClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Form2();
    void buildControls();
    // Names, keys and hidden decoration for keyboard and screen-reader users.
    void buildAccessibility();
    void Form_Load();
    void Form_Unload();

    // Controls, named as the window's design names them; tests find them by these names.
    QLabel *Label1 = nullptr;
    ClickLabel *lbl_Click = nullptr;
    QLabel *Label6 = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPushButton *Command1 = nullptr;  // "Löschfunktion aktivieren"
    QPushButton *cmd_path = nullptr;  // "Suchpfade ändern"
    QLabel *Image5 = nullptr;
    QLabel *Image4 = nullptr;
    ClickLabel *Label11 = nullptr;    // author mail link
    ClickLabel *Label10 = nullptr;    // author web link
    ClickLabel *Label3 = nullptr;     // author name and date
    QLabel *Image1 = nullptr;
    QPushButton *cmd_exit = nullptr;  // "ok"

    friend class SingleWindow<Form2>;
};
