#pragma once

#include "searchfixture.h"

#include "app/core/settings.h"
#include "options/form2.h"

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
