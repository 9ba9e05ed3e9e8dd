#pragma once

#include "app/singlewindow.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <atomic>
#include <deque>
#include <memory>

#include "app/clicklabel.h"
#include "search/core/searchsession.h"

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QMenu;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QListView;
class QListWidget;
class QPushButton;
class HitListModel;
class DirListBox;
class DriveList;
class Form2;

// The search window: search field, hit list, search paths, and the hit actions around them.
// Its implementation is split by concern: start-up and shutdown (form1.cpp), the search run
// (form1_search.cpp), hit details and opening (form1_hits.cpp), copy, move, delete and the
// directory chooser (form1_copy.cpp), the notes panel and list tools (form1_notes.cpp).
class Form1 : public QWidget, public SingleWindow<Form1>
{
    Q_OBJECT

public:
    ~Form1() override;

    // Fills List_path from suchpfad.txt in the program folder, creating the file when missing.
    void readpath();
    QStringList searchPaths() const;

    bool isSearching() const;
    HitListModel *hitModel() const { return m_hits; }

    // Shows or hides the copy frame; the info window's copy option drives it.
    void setCopyFrameVisible(bool visible);

    // The hit clicked last (Label3); empty until the first click on a hit.
    QString currentHitPath() const;

    // The stop request, read by the walk before each descent.
    std::atomic<bool> StopRequested{false};

public slots:
    void Command3_Click();
    void cmdStop_Click();
    void Command4_Click();

    void List1_Click();
    void List1_DblClick();
    void Command1_Click();
    void Label8_DblClick();

    void Command8_Click();
    void cmd_move_Click();
    void Command5_Click();
    void cmd_path_Click();
    void cmd_ok_Click();
    void lbl_exit_Click();
    void Drive1_Change();
    void Dir1_Change();

    void Command6_Click();
    void img_putlisttoinfo_Click();
    void Command7_Click();
    void cmd_paste_Click();
    void cmd_format_Click();
    void Command2_Click();

    void List1_ContextMenu(const QPoint &pos);
    void OpenHitFolder();
    void CopyHitPaths();

    // Writes search text, target directory and notes to the settings store.
    void saveSettings();

signals:
    // A search has ended: count shown, duplicates removed.
    void searchFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Form1();
    void buildControls();
    void buildHitControls();
    void buildCopyControls();
    void buildNotesControls();
    // Names, buddies, keys and the tab chain for keyboard and screen-reader users.
    void buildAccessibility();
    void closeChooser();
    void Form_Load();
    void UnloadAllForms();
    void closeOtherWindows();
    // The info window, loaded when needed; this window follows what it announces.
    Form2 *infoWindow();
    void listenTo(Form2 *info);

    // Key handling of the search field; returns true when the key was consumed.
    bool Combo1_KeyPress(QKeyEvent *event);
    void startSearch();
    void RunSearch();
    void RemoveDuplicates();
    void drain();
    void finishSearch();
    void setBusy(bool busy);
    void endRunningSearch();

    // Label3 := the current entry of the hit list; false when there is none.
    bool takeCurrentHit();
    // The selected entries' paths in list order.
    QStringList selectedHits() const;
    // Makes the target directory end with a separator and tells whether it exists; when not,
    // the user has been told.
    bool checkTargetDirectory(QString *dir);
    // Target of a hit in the target directory: its file name, blanks around the base name
    // removed.
    static QString TargetName(const QString &dir, const QString &hit);
    static QString TrimBlanks(const QString &text);
    // Appends a line to the notes, keeping the notes' undo history.
    void appendNote(const QString &line);

    HitListModel *m_hits = nullptr;
    // The search run with its finder; the window shows what it reports.
    std::unique_ptr<SearchSession> m_session;
    std::deque<SearchSession::Item> m_backlog;
    QStringList m_errors;
    bool m_searching = false;
    bool m_busy = false;
    bool m_hitsDeduped = true;
    bool m_closing = false;
    QPointer<Form2> m_info;

    // Controls, named as the window's design names them; tests find them by these names.
    QLabel *Label2 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *cmdStop = nullptr;
    QLabel *logo = nullptr;
    QListView *List1 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label16 = nullptr;
    QListWidget *List_path = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *Command4 = nullptr;

    // Hit details.
    ClickLabel *Label8 = nullptr;     // base name; double-click copies it into the notes
    QLabel *Label9 = nullptr;         // extension, never shown
    QLabel *Label10 = nullptr;        // "Datentyp: " and the extension
    QLabel *lbl_filetime = nullptr;
    QLabel *Label3 = nullptr;         // current hit path, never shown
    QPushButton *Command1 = nullptr;  // "aufrufen"

    // Copy frame.
    QGroupBox *Frame1 = nullptr;
    QPushButton *Command8 = nullptr;  // "copy"
    QPushButton *cmd_move = nullptr;
    QPushButton *Command5 = nullptr;  // "delete"
    QLineEdit *Text2 = nullptr;       // target directory
    QPushButton *cmd_path = nullptr;  // ">>": the directory chooser

    // Directory chooser.
    QFrame *Frame2 = nullptr;  // drawn by its lines; its caption names it for screen readers
    QLabel *Label15 = nullptr;
    ClickLabel *lbl_exit = nullptr;
    DriveList *Drive1 = nullptr;
    DirListBox *Dir1 = nullptr;
    QPushButton *cmd_ok = nullptr;
    QFrame *Line1 = nullptr;
    QFrame *Line2 = nullptr;
    QFrame *Line3 = nullptr;
    QFrame *Line4 = nullptr;

    // Notes panel and list tools.
    QPushButton *Command6 = nullptr;  // notes panel toggle
    QLabel *Label14 = nullptr;
    ClickLabel *img_putlisttoinfo = nullptr;
    QPushButton *Command7 = nullptr;  // "Liste löschen"
    QPlainTextEdit *Text1 = nullptr;  // notes
    QPushButton *cmd_paste = nullptr;
    QPushButton *cmd_format = nullptr;
    QPushButton *Command2 = nullptr;  // the info window

    // Context menu of the hit list.
    QMenu *List1Menu = nullptr;
    QAction *actOpen = nullptr;
    QAction *actOpenFolder = nullptr;
    QAction *actCopyPaths = nullptr;

    friend class SingleWindow<Form1>;
};
