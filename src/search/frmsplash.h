#pragma once

#include "app/singlewindow.h"

#include <QTimer>
#include <QWidget>

class QLabel;

// The notice after a search without hits. It closes itself after four seconds, or at the first
// click or key.
class frmSplash : public QWidget, public SingleWindow<frmSplash>
{
    Q_OBJECT

public:
    // Opens the notice, or brings an open one to the front without restarting its timer.
    static frmSplash *showNotice();

protected:
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    frmSplash();
    void Form_Load();

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QTimer *Timer1 = nullptr;

    friend class SingleWindow<frmSplash>;
};
