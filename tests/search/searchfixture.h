#pragma once

#include "helpers/testenv.h"
#include "search/form1.h"
#include "search/hitlistmodel.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

// Starting the search window on a test tree and running searches through its real widgets.
namespace SearchFixture {

inline void writeSearchPaths(TestEnv &env, const QStringList &paths)
{
    QByteArray content;
    for (const QString &p : paths)
        content += p.toUtf8() + "\r\n";
    env.writeFile(QStringLiteral("program/suchpfad.txt"), content);
}

inline Form1 *start(TestEnv &env, const QStringList &paths)
{
    writeSearchPaths(env, paths);
    Form1 *form = Form1::instance();
    form->show();
    return form;
}

// Closes the window as the user would and lets it be destroyed.
inline void close(Form1 *form)
{
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Types the text into the search field, presses Enter and waits for the search to end.
inline bool search(Form1 *form, const QString &text)
{
    QSignalSpy finished(form, &Form1::searchFinished);
    QLineEdit *edit = child<QComboBox>(form, "Combo1")->lineEdit();
    edit->selectAll();
    edit->del();
    // Keys go to the combo box, which holds the focus, as they do for the user.
    QTest::keyClicks(child<QComboBox>(form, "Combo1"), text);
    QTest::keyClick(child<QComboBox>(form, "Combo1"), Qt::Key_Return);
    return finished.count() > 0 || finished.wait(20000);
}

// Starts a search with the button, as the user does, and returns at once.
inline void startWithButton(Form1 *form, const QString &text)
{
    child<QComboBox>(form, "Combo1")->setEditText(text);
    QTest::mouseClick(child<QPushButton>(form, "Command3"), Qt::LeftButton);
}

// Holds the walk of every search at its first descent until released, so that a test can act
// while a search runs. Its state is shared with the walk, which may still hold it briefly.
class HeldWalk
{
public:
    HeldWalk()
    {
        SearchSession::setDescentHook([state = m_state] {
            state->held = true;
            while (!state->released)
                QThread::msleep(1);
        });
    }
    ~HeldWalk()
    {
        release();
        SearchSession::setDescentHook(nullptr);
    }
    bool held() const { return m_state->held; }
    void release() { m_state->released = true; }

private:
    struct State {
        std::atomic<bool> held{false};
        std::atomic<bool> released{false};
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

inline QStringList hits(Form1 *form)
{
    QStringList list;
    for (int i = 0; i < form->hitModel()->count(); ++i)
        list.append(form->hitModel()->path(i));
    return list;
}

// The hits in name order, for searches whose order the file system decides.
inline QStringList sortedHits(Form1 *form)
{
    QStringList list = hits(form);
    list.sort();
    return list;
}

// The names below a folder as full paths, in name order.
inline QStringList under(const QString &folder, QStringList names)
{
    names.sort();
    for (QString &name : names)
        name.prepend(folder + QLatin1Char('/'));
    return names;
}

} // namespace SearchFixture
