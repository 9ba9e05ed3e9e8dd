#pragma once

#include "app/singlewindow.h"

#include "textcipher/core/textcipher.h"

#include <QWidget>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class LongLineTextEdit;
class QPushButton;

// "ZuraRudud": encrypts a typed or pasted text under a password into hexadecimal text and
// back. Modeless and single; closing it discards it, the next opening builds it afresh. It
// answers in its status line only.
class frm_txtkrypt : public QWidget, public SingleWindow<frm_txtkrypt>
{
    Q_OBJECT

public:
    // Makes the window visible (creating it when absent) and brings it to the front.
    static frm_txtkrypt *showWindow();

    QString EncodeString(const QString &strToEncode, const QString &strPassword) const;
    QString DecodeString(const QString &strToDecode, const QString &strPassword) const;
    QString Replace(const QString &Text, const QString &sOld, const QString &sNew,
                    qint32 Start, qint32 Count, qint32 Compare);

public slots:
    void Form_Load();
    // Runs before the key reaches the password field; KeyAscii is the key's character code.
    void txtPassword_KeyPress(int KeyAscii);
    void Label1_Click();
    void cmdEncode_Click();
    void cmdDecode_Click();
    void img_clip_Click();
    void img_paste_Click();
    void cmd_yes_Click();
    void cmd_no_Click();
    void img_clear_Click();
    void img_exit_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    frm_txtkrypt();

    // The text box's text with its line breaks as CR LF, the form the hex text carries.
    QString boxText() const;
    void setBoxText(const QString &text);

    QLabel *Label1;
    QLineEdit *txtPassword;
    QLabel *lblstatus;
    QFrame *Frame_Quest;
    QGroupBox *Frame1;
    QPushButton *cmd_yes;
    QPushButton *cmd_no;
    QPushButton *cmdEncode;
    QPushButton *cmdDecode;
    LongLineTextEdit *txtToEncode;

    TextCipher::ReplaceBuffer m_replaceBuffer;

    friend class SingleWindow<frm_txtkrypt>;
};
