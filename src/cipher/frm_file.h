#pragma once

#include "app/singlewindow.h"

#include "app/dirlistbox.h"

#include <QListWidget>
#include <QString>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// File list of one folder; with a pattern (such as "*.D0C") it shows only matching names,
// compared without regard to case.
class FileList : public QListWidget
{
    Q_OBJECT

public:
    FileList(const QString &pattern, QWidget *parent);

    QString path() const { return m_path; }
    void setPath(const QString &path);
    // Name of the selected file, or empty.
    QString selectedFileName() const;
    QListWidgetItem *itemForName(const QString &name) const;

private:
    QString m_path;
    QString m_pattern;
};

// The file chooser "Datei" of the cipher window. It is not modal: an operation that finds no
// file shows it and returns; confirming a choice fills the cipher window's field and starts
// the operation again.
class frm_file : public QWidget, public SingleWindow<frm_file>
{
    Q_OBJECT

public:
    enum class Mode { Decrypt, Encrypt };

    // The mode outlives the chooser: a chooser shown later opens in the mode last set.
    static void setMode(Mode mode);
    static Mode mode();
    // Shows the chooser in the current mode, centred on the cipher window.
    static void showChooser();

    ~frm_file() override;

    QComboBox *Drive_encode = nullptr;
    DirListBox *Dir_encode = nullptr;
    QGroupBox *fme_decode = nullptr;
    FileList *File_decode = nullptr;
    QPushButton *cmd_okfiledecode = nullptr;
    QGroupBox *fme_encode = nullptr;
    FileList *File_encode = nullptr;
    QPushButton *cmd_okfileencode = nullptr;
    QLabel *lbl_file = nullptr;

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
    void FillDrives();
    void Confirm(Mode mode);
    int m_driveIndex = -1;

    friend class SingleWindow<frm_file>;
    static Mode s_mode;
};
