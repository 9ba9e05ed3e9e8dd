#include "cipherfixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>

#include <memory>
#include <utility>

// The cipher window meets a source that another program changes while it works: the source is
// removed afterwards only while it is still the file that was read.
class TestCipherSafety : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup() { env.reset(); }

    void changedSourceStays_data()
    {
        QTest::addColumn<bool>("decrypt");
        QTest::addColumn<QString>("change");
        for (const bool decrypt : {false, true}) {
            for (const char *change : {"saved over", "written to", "removed"})
                QTest::addRow("%s, %s while read", decrypt ? "decrypt" : "encrypt", change) << decrypt << QString::fromLatin1(change);
            QTest::addRow("%s, saved over during the question", decrypt ? "decrypt" : "encrypt") << decrypt << QStringLiteral("question");
        }
    }
    void changedSourceStays()
    {
        QFETCH(bool, decrypt);
        QFETCH(QString, change);
        PromptDriver driver({PromptDriver::answer(QStringLiteral("ab"))});
        const QByteArray older(3 << 20, 'a'), newer("neue Fassung"); // progress is shown after each MiB
        const QString source = env->writeFile(decrypt ? QStringLiteral("w/plan.dwg.D0C") : QStringLiteral("w/plan.dwg"), older);
        const QString target = targetOf(source, decrypt);
        // An editor saves by renaming its new file over the old one.
        const auto saveOver = [&] {
            const QString fresh = env->writeFile(QStringLiteral("w/.neu"), newer);
            QVERIFY(QFile::setPermissions(fresh, QFile::ReadOwner | QFile::ReadGroup));
            QVERIFY(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(source).constData()) == 0);
        };
        if (change == QLatin1String("question")) {
            QVERIFY(QFile::setPermissions(source, QFile::ReadOwner));
            env->answers << Platform::Answer::Yes;
            env->onMessage = [&](const Platform::MessageBoxCall &call) {
                if (call.buttons == Platform::Buttons::YesNo)
                    saveOver();
            };
        }
        frmMain *w = frmMain::instance();
        w->show();
        bool changed = change == QLatin1String("question");
        connect(child<QProgressBar>(w, "PBar"), &QProgressBar::valueChanged, w, [&](int value) {
            if (value == 0 || std::exchange(changed, true))
                return;
            QFile f(source);
            if (change == QLatin1String("saved over"))
                saveOver();
            else if (change == QLatin1String("removed"))
                QVERIFY(f.remove());
            else
                QVERIFY(f.open(QIODevice::Append) && f.write(newer) == newer.size());
        });
        runOn(w, decrypt, source);

        if (change == QLatin1String("written to")) {
            // The result could mix both versions: nothing is written, nothing removed.
            QCOMPARE(env->messages.size(), 1);
            QCOMPARE(env->messages.first().icon, Platform::Icon::Error);
            QVERIFY(env->messages.first().text.startsWith(QStringLiteral("Die Datei wurde während des Lesens geändert:\n")
                                                          + QDir::toNativeSeparators(source)));
            QVERIFY(contentOf(source) == older + newer);
            QCOMPARE(contentOf(target), QByteArray("<missing>"));
            QVERIFY(!child<QLabel>(w, "lblstatus")->text().startsWith(QStringLiteral("Datei ist")));
            return;
        }
        QVERIFY(contentOf(target) == xorWith(older, "33"));
        if (change == QLatin1String("removed")) { // gone already: nothing to remove or report
            QCOMPARE(contentOf(source), QByteArray("<missing>"));
            QCOMPARE(env->messageTexts(), QStringList());
            return;
        }
        QStringList said;
        if (change == QLatin1String("question"))
            said << QStringLiteral("Soll der Schreibschutz der Datei entfernt werden ?");
        said << QStringLiteral("Datei ") + source
                + (decrypt ? QStringLiteral(" wurde während der Entschlüsselung geändert und bleibt erhalten !\n")
                           : QStringLiteral(" wurde während der Verschlüsselung geändert und bleibt erhalten !\n"))
                + target + QStringLiteral(" enthält den Stand vor der Änderung.");
        QCOMPARE(env->messageTexts(), said);
        QCOMPARE(env->messages.last().icon, Platform::Icon::Warning);
        QCOMPARE(contentOf(source), newer);
        // The newer file keeps its permissions, and nothing hidden is left beside it.
        QVERIFY(!(QFile::permissions(source) & QFile::WriteOwner));
        QCOMPARE(entriesOf(QFileInfo(source).path()).size(), 2);
    }

    // A source that is a link to a file elsewhere: the blanks would go over that file, so the
    // link and the file it points to both stay.
    void linkedSourceStays_data()
    {
        QTest::addColumn<bool>("decrypt");
        QTest::newRow("encrypt") << false;
        QTest::newRow("decrypt") << true;
    }
    void linkedSourceStays()
    {
        QFETCH(bool, decrypt);
        PromptDriver driver({PromptDriver::answer(QStringLiteral("ab"))});
        const QByteArray content("Inhalt der verknüpften Datei");
        const QString real = env->writeFile(QStringLiteral("elsewhere/plan.dwg"), content);
        const QString source = env->makeDir(QStringLiteral("w")) + (decrypt ? QStringLiteral("/plan.dwg.D0C") : QStringLiteral("/plan.dwg"));
        QVERIFY(QFile::link(real, source));
        runOn(frmMain::instance(), decrypt, source);
        QCOMPARE(env->messageTexts(), QStringList(QStringLiteral("Datei ") + source + QStringLiteral(" ist eine Verknüpfung auf ")
                                                  + real + QStringLiteral(" und wird nicht gelöscht !")));
        QCOMPARE(env->messages.first().icon, Platform::Icon::Warning);
        QCOMPARE(contentOf(real), content);
        QVERIFY(QFileInfo(source).isSymLink());
        QVERIFY(contentOf(targetOf(source, decrypt)) == xorWith(content, "33"));
    }
};

QTEST_MAIN(TestCipherSafety)
#include "tst_ciphersafety.moc"
