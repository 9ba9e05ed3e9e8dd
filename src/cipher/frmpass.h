#pragma once

#include <QDialog>

class ClickLabel;
class QCheckBox;
class QLabel;
class QLineEdit;

// The password prompt of the file cipher: a small frameless dialog. However it closes, it
// derives the key from the typed password and clears the field; ask() hands the key to the
// caller, an empty key meaning there is none. Neither the password nor the key is left in a
// widget.
class frmPass : public QDialog
{
    Q_OBJECT

public:
    explicit frmPass(QWidget *owner);

    // Shows the prompt modally, centred on owner (or the screen when owner is hidden), and
    // returns the key derived from the password; empty when it was cancelled or gave no key.
    static QString ask(QWidget *owner);

public slots:
    void Check1_Click();
    void txtPass_KeyPress();
    void img_do_Click();
    void img_exit_Click();
    // Escape and a programmatic close cancel, like the cancel picture.
    void reject() override;
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Confirm();
    void Form_Unload();

    QLabel *lbl_passlook = nullptr;
    QLineEdit *txtPass = nullptr;
    QCheckBox *Check1 = nullptr;
    ClickLabel *img_do = nullptr;
    ClickLabel *img_exit = nullptr;

    bool m_unloaded = false;
    QString m_key;
};
