#include "cipherfixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>

#include <memory>

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
            const char *op = decrypt ? "decrypt" : "encrypt";
            QTest::addRow("%s, saved over while read", op) << decrypt << QStringLiteral("saved over");
            QTest::addRow("%s, written to while read", op) << decrypt << QStringLiteral("written to");
            QTest::addRow("%s, saved over during the question", op) << decrypt << QStringLiteral("question");
            QTest::addRow("%s, removed while read", op) << decrypt << QStringLiteral("removed");
        }
    }
    void changedSourceStays()
    {
        QFETCH(bool, decrypt);
        QFETCH(QString, change);
        PromptDriver driver({PromptDriver::answer(QStringLiteral("ab"))});
        const QByteArray older(3 << 20, 'a'); // progress is shown after each MiB
        const QString source = env->writeFile(decrypt ? QStringLiteral("w/plan.dwg.D0C") : QStringLiteral("w/plan.dwg"), older);
        const QString target = decrypt ? source.chopped(4) : source + QStringLiteral(".D0C");
        const QByteArray newer("neue Fassung");
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
        bool changed = false;
        connect(child<QProgressBar>(w, "PBar"), &QProgressBar::valueChanged, w, [&](int value) {
            if (value == 0 || changed || change == QLatin1String("question"))
                return;
            changed = true;
            if (change == QLatin1String("saved over")) {
                saveOver();
            } else if (change == QLatin1String("removed")) {
                QVERIFY(QFile::remove(source));
            } else {
                QFile f(source);
                QVERIFY(f.open(QIODevice::Append) && f.write(newer) == newer.size());
            }
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
        if (change == QLatin1String("removed")) {
            // Gone already: the result is complete, and there is nothing to remove or report.
            QVERIFY(contentOf(target) == xorWith(older, "33"));
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
        QVERIFY(contentOf(target) == xorWith(older, "33"));
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
        const QString source = env->at(decrypt ? QStringLiteral("w/plan.dwg.D0C") : QStringLiteral("w/plan.dwg"));
        env->makeDir(QStringLiteral("w"));
        QVERIFY(QFile::link(real, source));
        const QString target = decrypt ? source.chopped(4) : source + QStringLiteral(".D0C");

        frmMain *w = frmMain::instance();
        runOn(w, decrypt, source);

        QCOMPARE(env->messageTexts(), QStringList(QStringLiteral("Datei ") + source + QStringLiteral(" ist eine Verknüpfung auf ")
                                                  + real + QStringLiteral(" und wird nicht gelöscht !")));
        QCOMPARE(env->messages.first().icon, Platform::Icon::Warning);
        QCOMPARE(contentOf(real), content);
        QVERIFY(QFileInfo(source).isSymLink());
        QVERIFY(contentOf(target) == xorWith(content, "33"));
    }
};

QTEST_MAIN(TestCipherSafety)
#include "tst_ciphersafety.moc"
