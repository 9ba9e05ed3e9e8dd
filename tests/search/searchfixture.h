#pragma once

#include "helpers/testenv.h"
#include "search/form1.h"
#include "search/hitlistmodel.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

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
    if (!form)
        return;
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Types the text into the search field, presses Enter and waits for the search to end.
inline bool search(Form1 *form, const QString &text)
{
    QSignalSpy finished(form, &Form1::searchFinished);
    QLineEdit *edit = form->Combo1->lineEdit();
    edit->selectAll();
    edit->del();
    // Keys go to the combo box, which holds the focus, as they do for the user.
    QTest::keyClicks(form->Combo1, text);
    QTest::keyClick(form->Combo1, Qt::Key_Return);
    return finished.count() > 0 || finished.wait(20000);
}

inline QStringList hits(Form1 *form)
{
    QStringList list;
    for (int i = 0; i < form->hitModel()->count(); ++i)
        list.append(form->hitModel()->path(i));
    return list;
}

} // namespace SearchFixture
