#pragma once

#include "searchfixture.h"

#include "app/settings.h"
#include "options/form2.h"
#include "search/frmsplash.h"

#include <QCheckBox>
#include <QListView>
#include <QPushButton>

// Acting on hits through the search window's real widgets: finding a hit's row, clicking and
// double-clicking it, and switching options in the info window.
namespace HitsFixture {

inline int rowOf(Form1 *form, const QString &path)
{
    for (int i = 0; i < form->hitModel()->count(); ++i) {
        if (form->hitModel()->path(i) == path)
            return i;
    }
    return -1;
}

inline QPoint rowCenter(Form1 *form, int row)
{
    const QModelIndex index = form->hitModel()->index(row);
    form->List1->scrollTo(index);
    return form->List1->visualRect(index).center();
}

inline void clickHit(Form1 *form, const QString &path, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const int row = rowOf(form, path);
    QVERIFY2(row >= 0, qPrintable(path));
    QTest::mouseClick(form->List1->viewport(), Qt::LeftButton, mods, rowCenter(form, row));
}

inline void doubleClickHit(Form1 *form, const QString &path)
{
    const int row = rowOf(form, path);
    QVERIFY2(row >= 0, qPrintable(path));
    const QPoint at = rowCenter(form, row);
    QTest::mouseClick(form->List1->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(form->List1->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

inline QStringList selectedPaths(Form1 *form)
{
    QStringList paths;
    for (const QModelIndex &index : form->List1->selectionModel()->selectedRows())
        paths.append(form->hitModel()->path(index.row()));
    paths.sort();
    return paths;
}

// The copy option on before the start, as a user who ticked it in an earlier run.
inline void storeCopyOption(bool on)
{
    Settings::write(QStringLiteral("Check1.Value"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

// Opens the info window from the search window, presses "Löschfunktion aktivieren", closes it.
inline void enableDeleteAndMove(Form1 *form)
{
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    Form2 *info = Form2::existing();
    QVERIFY(info && info->isVisible());
    QTest::mouseClick(info->Command1, Qt::LeftButton);
    QTest::mouseClick(info->cmd_exit, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Starts the search window on one archive folder and lists every entry in it.
inline Form1 *startAndListAll(TestEnv &env, const QString &archive)
{
    Form1 *form = SearchFixture::start(env, {archive});
    if (!SearchFixture::search(form, QStringLiteral("*")))
        return nullptr;
    return form;
}

// Ends a test: closes every window it may have opened and lets them be destroyed.
inline void closeWindows(Form1 *&form)
{
    SearchFixture::close(form);
    form = nullptr;
    if (Form2 *info = Form2::existing())
        info->close();
    if (frmSplash *notice = frmSplash::existing())
        delete notice;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace HitsFixture
