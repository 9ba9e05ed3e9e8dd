#pragma once

#include "helpers/testenv.h"
#include "app/core/settings.h"
#include "options/form2.h"
#include "search/form1.h"
#include "search/hitlistmodel.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
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

// Types the text into the search field, where the focus is, presses Enter and waits for the
// search to end.
inline bool search(Form1 *form, const QString &text)
{
    QSignalSpy finished(form, &Form1::searchFinished);
    child<QComboBox>(form, "Combo1")->lineEdit()->clear();
    QTest::keyClicks(child<QComboBox>(form, "Combo1"), text);
    QTest::keyClick(child<QComboBox>(form, "Combo1"), Qt::Key_Return);
    return finished.count() > 0 || finished.wait(20000);
}

// Starts a search with the button and returns at once.
inline void startWithButton(Form1 *form, const QString &text)
{
    child<QComboBox>(form, "Combo1")->setEditText(text);
    QTest::mouseClick(child<QPushButton>(form, "Command3"), Qt::LeftButton);
}

// Holds the walk of every search at its first descent until released, so that a test can act
// while a search runs. The walk shares the state, as it may still look at it after the test.
struct HeldWalk
{
    struct State {
        std::atomic<bool> held{false}, released{false};
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    HeldWalk()
    {
        SearchSession::setDescentHook([s = state] {
            for (s->held = true; !s->released; QThread::msleep(1)) {}
        });
    }
    ~HeldWalk()
    {
        release();
        SearchSession::setDescentHook(nullptr);
    }
    bool held() const { return state->held; }
    void release() { state->released = true; }
};

inline QStringList hits(Form1 *form)
{
    QStringList list;
    for (int i = 0; i < form->hitModel()->count(); ++i)
        list.append(form->hitModel()->path(i));
    return list;
}

} // namespace SearchFixture

// One test's search window on an archive folder, driven through its real widgets. Test classes
// derive from it and call begin() and end() from init() and cleanup().
struct HitsSession
{
    std::unique_ptr<TestEnv> env;
    Form1 *form = nullptr;
    QString archive, target;

    void begin() { env = std::make_unique<TestEnv>(); }
    void end()
    {
        form = nullptr;
        env.reset();
    }
    // Starts on an archive of files holding their own name and lists every entry.
    void startWith(const QStringList &files)
    {
        archive = env->makeDir(QStringLiteral("archive"));
        for (const QString &f : files)
            env->writeFile(QStringLiteral("archive/") + f, f.toUtf8());
        form = SearchFixture::start(*env, {archive});
        QVERIFY(SearchFixture::search(form, QStringLiteral("*")));
    }
    // The same with the copy option on and delete and move switched on in the info window.
    void startCopying(const QStringList &files)
    {
        Settings::write(QStringLiteral("Check1.Value"), QStringLiteral("1"));
        target = env->makeDir(QStringLiteral("target"));
        startWith(files);
        Form2 *info = openInfo();
        QTest::mouseClick(child<QPushButton>(info, "Command1"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(info, "cmd_exit"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString hit(const QString &name) const { return archive + QLatin1Char('/') + name; }
    QString copyOf(const QString &name) const { return target + QLatin1Char('/') + name; }
    // The name listed in the row, in the file system's order.
    QString nameAt(int row) const { return form->hitModel()->path(row).section(QLatin1Char('/'), -1); }
    QPoint rowCenter(const QString &name) const
    {
        const QModelIndex index = form->hitModel()->index(int(SearchFixture::hits(form).indexOf(hit(name))));
        child<QListView>(form, "List1")->scrollTo(index);
        return child<QListView>(form, "List1")->visualRect(index).center();
    }
    // Clicks the names in order, all but the first with Ctrl.
    void click(const QStringList &names)
    {
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY2(SearchFixture::hits(form).contains(hit(names.at(i))), qPrintable(names.at(i)));
            QTest::mouseClick(child<QListView>(form, "List1")->viewport(), Qt::LeftButton, i ? Qt::ControlModifier : Qt::NoModifier, rowCenter(names.at(i)));
        }
    }
    Form2 *openInfo()
    {
        QTest::mouseClick(child<QPushButton>(form, "Command2"), Qt::LeftButton);
        return Form2::existing();
    }
};
