#pragma once

#include "app/core/safefile.h"
#include "app/singlewindow.h"
#include "cipher/frm_file.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class ClickLabel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The file cipher window "D0C": encrypts the file in txtEnc into a ".D0C" file beside it and
// decrypts the ".D0C" file in txtDec back. The key derived from the password (the key cache,
// lblPwCache) lives for as long as this window exists; closing the window discards it. It is
// plain state, never the text of a widget, so no screen reader or screenshot can read it.
class frmMain : public QWidget, public SingleWindow<frmMain>
{
    Q_OBJECT

public:
    // Shows the window (from the info window), keeping its fields.
    static void showWindow();

    ~frmMain() override;

    // The file for the next encryption or decryption, as the start-up hands it over.
    void setFileToEncrypt(const QString &path);
    void setFileToDecrypt(const QString &path);

    // The cached key; empty until the password prompt has given one.
    const QString &keyCache() const { return m_keyCache; }

public slots:
    void Encode();
    void Decode();

    void img_file_Click();
    void img_decfile_Click();
    void cmd_Anz_Click();
    void cmd_txtKrypt_Click();
    void cmd_exit_Click();

private slots:
    // The chooser's confirmed choice goes into the field of its mode and runs that operation.
    void takeChosenFile(frm_file::Mode mode, const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    frmMain();
    // Names and the read-only look of the path fields for keyboard and screen-reader users.
    void buildAccessibility();

    enum class Direction { Encrypt, Decrypt };
    void Run(Direction direction);
    // Removes the source after a successful transformation, asking about write protection,
    // but only while it is the file that was read; otherwise it stays and changedMessage
    // tells the user.
    void RemoveSource(const QString &path, const SafeFile::Identity &read,
                      const QString &changedMessage);
    // Makes sure the key cache holds a key, asking for the password when it is empty; false
    // when there is none (the prompt was cancelled) or the window went away meanwhile.
    bool EnsureKey();

    // Shows the file chooser, which reports its choice back here.
    void openChooser();

    QGroupBox *Frame1 = nullptr;
    QGroupBox *fmeEncode = nullptr;
    QLineEdit *txtEnc = nullptr;
    ClickLabel *img_file = nullptr;
    QGroupBox *fmeDecode = nullptr;
    QLineEdit *txtDec = nullptr;
    ClickLabel *img_decfile = nullptr;
    QProgressBar *PBar = nullptr;
    QPushButton *cmd_txtKrypt = nullptr;
    QPushButton *cmd_Anz = nullptr;
    QLabel *lblstatus = nullptr;
    QPushButton *cmd_exit = nullptr;
    QLabel *lbl_file = nullptr;

    QPointer<frm_file> m_chooser;
    QString m_keyCache;
    bool m_running = false;

    friend class SingleWindow<frmMain>;
};
