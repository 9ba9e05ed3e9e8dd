#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <deque>
#include <memory>

#include "searchrun.h"

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QListView;
class QListWidget;
class QPushButton;
class HitListModel;
class cFindFile;

// The search window: search field, hit list, search paths, and the hit actions around them.
// Its implementation is split by concern: start-up and shutdown (form1.cpp), the search run
// (form1_search.cpp).
class Form1 : public QWidget
{
    Q_OBJECT

public:
    static Form1 *instance();
    static Form1 *existing();
    ~Form1() override;

    // Fills List_path from suchpfad.txt in the program folder, creating the file when missing.
    void readpath();
    QStringList searchPaths() const;

    bool isSearching() const;
    HitListModel *hitModel() const { return m_hits; }

    // Shows or hides the copy frame; the info window's copy option drives it.
    void setCopyFrameVisible(bool visible);

    // Controls, named as the window's design names them.
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
    QLabel *Label8 = nullptr;
    QLabel *Label10 = nullptr;
    QPushButton *Command4 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLineEdit *Text2 = nullptr;       // target directory
    QPlainTextEdit *Text1 = nullptr;  // notes

    // The stop request, read by the walk before each descent.
    std::atomic<bool> StopRequested{false};

public slots:
    void Command3_Click();
    void cmdStop_Click();
    void Command4_Click();

signals:
    // A search has ended: count shown, duplicates removed.
    void searchFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Form1();
    void buildControls();
    void Form_Load();
    void saveSettings();
    void UnloadAllForms();

    // Key handling of the search field; returns true when the key was consumed.
    bool Combo1_KeyPress(QKeyEvent *event);
    void startSearch();
    void RunSearch();
    void RemoveDuplicates();
    void drain();
    void finishSearch();
    void setBusy(bool busy);
    void endRunningSearch();

    HitListModel *m_hits = nullptr;
    std::unique_ptr<cFindFile> nSearch;
    std::unique_ptr<SearchRun> m_run;
    std::deque<SearchRun::Item> m_backlog;
    QTimer m_drainTimer;
    QStringList m_errors;
    bool m_searching = false;
    bool m_busy = false;
    bool m_hitsDeduped = true;
    bool m_closing = false;

    static QPointer<Form1> s_instance;
};
