#pragma once

#include "searchfixture.h"

#include "app/core/settings.h"
#include "cipher/frmmain.h"
#include "options/form2.h"
#include "search/frmsplash.h"

#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>

#include <memory>

// One test's search window on an archive folder, driven through its real widgets. Test classes
// derive from it and call begin() and end() from init() and cleanup().
struct HitsSession
{
    std::unique_ptr<TestEnv> env;
    Form1 *form = nullptr;
    QString archive;

    void begin() { env = std::make_unique<TestEnv>(); }
    void end()
    {
        if (frmMain *cipher = frmMain::existing())
            cipher->close();
        SearchFixture::close(form);
        form = nullptr;
        if (Form2 *info = Form2::existing())
            info->close();
        delete frmSplash::existing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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
    QString hit(const QString &name) const { return archive + QLatin1Char('/') + name; }
    QString nameAt(int row) const { return form->hitModel()->path(row).section(QLatin1Char('/'), -1); } // directory order
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
