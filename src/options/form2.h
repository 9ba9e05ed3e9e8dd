#pragma once

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QPushButton;

// The info and options window. It holds the copy option the search window reads, and opens
// the search-path file for editing; every unload makes the search window reread its paths.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    static Form2 *instance();
    static Form2 *existing();

    // The copy option, 0 or 1.
    int check1Value() const;
    void setCheck1Value(int value);

    QCheckBox *Check1 = nullptr;
    QPushButton *cmd_path = nullptr;

public slots:
    void Check1_Click();
    void cmd_path_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Form2();
    void Form_Load();

    static QPointer<Form2> s_instance;
};
