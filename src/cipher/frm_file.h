#pragma once

#include "app/singlewindow.h"

#include <QString>
#include <QWidget>

class DirListBox;
class DriveList;
class FileList;
class QGroupBox;
class QLabel;
class QPushButton;

// The file chooser "Datei" of the cipher window. It is not modal: an operation that finds no
// file shows it and returns; confirming a choice reports the file by fileChosen(), and the
// cipher window fills its field with it and starts the operation again.
class frm_file : public QWidget, public SingleWindow<frm_file>
{
    Q_OBJECT

public:
    enum class Mode { Decrypt, Encrypt };

    // The mode outlives the chooser: a chooser shown later opens in the mode last set.
    static void setMode(Mode mode);
    // Shows the chooser in the current mode, centred on owner when it was hidden.
    static frm_file *showChooser(QWidget *owner);

    ~frm_file() override;

signals:
    // The user confirmed a choice: path names the file, or is empty when none was picked or
    // the file is gone. The chooser closes after the receiver has run the operation.
    void fileChosen(frm_file::Mode mode, const QString &path);
    // A drive that is not available was picked; the lists stay where they were.
    void driveUnavailable();

public slots:
    void Drive_encode_Change();
    void Dir_encode_Change();
    void cmd_okfiledecode_Click();
    void cmd_okfileencode_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    frm_file();

    void Form_Unload();
    void ApplyMode();
    void Confirm(Mode mode);

    DriveList *Drive_encode = nullptr;
    DirListBox *Dir_encode = nullptr;
    QGroupBox *fme_decode = nullptr;
    FileList *File_decode = nullptr;
    QPushButton *cmd_okfiledecode = nullptr;
    QGroupBox *fme_encode = nullptr;
    FileList *File_encode = nullptr;
    QPushButton *cmd_okfileencode = nullptr;
    QLabel *lbl_file = nullptr;

    friend class SingleWindow<frm_file>;
    static Mode s_mode;
};
