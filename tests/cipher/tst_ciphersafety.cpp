#include "cipherfixture.h"

#include <QProgressBar>

#include <utility>

// The cipher window meets a source that another program changes while it works: the source is
// removed afterwards only while it is still the file that was read.
class TestCipherSafety : public QObject
{
    Q_OBJECT

private slots:
    void changedSourceStays_data()
    {
        QTest::addColumn<bool>("decrypt");
        QTest::addColumn<QString>("change");
        for (const bool decrypt : {false, true}) {
            for (const char *change : {"saved over while read", "written to while read", "removed while read", "saved over during the question"})
                QTest::addRow("%s, %s", decrypt ? "decrypt" : "encrypt", change) << decrypt << QString::fromLatin1(change);
        }
    }
    void changedSourceStays()
    {
        QFETCH(bool, decrypt);
        QFETCH(QString, change);
        TestEnv env;
        PromptDriver driver({PromptDriver::answer(u"ab"_s)});
        const QByteArray older(3 << 20, 'a'), newer("neue Fassung"); // progress is shown after each MiB
        const QString source = env.writeFile(decrypt ? u"w/plan.dwg.D0C"_s : u"w/plan.dwg"_s, older), target = (decrypt ? source.chopped(4) : source + u".D0C"_s);
        const auto saveOver = [&] { // as an editor saves: its new file renamed over the old one
            const QString fresh = env.writeFile(u"w/.neu"_s, newer);
            QVERIFY(QFile::setPermissions(fresh, QFile::ReadOwner | QFile::ReadGroup));
            QVERIFY(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(source).constData()) == 0);
        };
        const bool question = change.endsWith(u"question"_s);
        if (question) {
            QVERIFY(QFile::setPermissions(source, QFile::ReadOwner));
            env.answers << Platform::Answer::Yes;
            env.onMessage = [&](const Platform::MessageBoxCall &call) {
                if (call.buttons == Platform::Buttons::YesNo)
                    saveOver();
            };
        }
        frmMain *w = frmMain::instance();
        w->show();
        bool changed = question;
        connect(child<QProgressBar>(w, "PBar"), &QProgressBar::valueChanged, w, [&](int value) {
            QFile f(source);
            if (value == 0 || std::exchange(changed, true))
                return;
            if (change.startsWith(u"saved"_s))
                saveOver();
            else if (change.startsWith(u"removed"_s))
                QVERIFY(f.remove());
            else
                QVERIFY(f.open(QIODevice::Append) && f.write(newer) == newer.size());
        });
        runOn(w, decrypt, source);
        // Written to: the result could mix both versions, so nothing is written and nothing removed.
        // Removed: the result is complete, and there is nothing to remove or report.
        const bool written = change.startsWith(u"written"_s), removed = change.startsWith(u"removed"_s);
        const QString kept = u"Datei "_s + source
            + (decrypt ? u" wurde während der Entschlüsselung geändert und bleibt erhalten !\n"_s
                       : u" wurde während der Verschlüsselung geändert und bleibt erhalten !\n"_s)
            + target + u" enthält den Stand vor der Änderung."_s;
        const QString mixed = u"Die Datei wurde während des Lesens geändert:\n"_s + source + u"\nEs wurde nichts geschrieben; die Ausgangsdatei bleibt erhalten."_s;
        const QString asked = u"Soll der Schreibschutz der Datei entfernt werden ?"_s;
        QCOMPARE(env.messageTexts(), (written ? QStringList{mixed} : removed ? QStringList() : question ? QStringList{asked, kept} : QStringList{kept}));
        QVERIFY(contentOf(source) == (written ? older + newer : removed ? "<missing>"_ba : newer));
        QVERIFY(contentOf(target) == (written ? "<missing>"_ba : xorWith(older, "33")));
        QCOMPARE(entriesOf(QFileInfo(source).path()).size(), written || removed ? 1 : 2); // nothing hidden left beside them
        if (!removed) // an error, or a warning and the newer file keeps its permissions
            QVERIFY(env.messages.last().icon == (written ? Platform::Icon::Error : Platform::Icon::Warning)
                    && (written || !(QFile::permissions(source) & QFile::WriteOwner)));
    }

    // A source that is a link to a file elsewhere: the blanks would go over that file, so the
    // link and the file it points to both stay.
    void linkedSourceStays()
    {
        TestEnv env;
        PromptDriver driver({PromptDriver::answer(u"ab"_s)});
        const QByteArray content("Inhalt der verknüpften Datei");
        const QString real = env.writeFile(u"elsewhere/plan.dwg"_s, content);
        const QString source = env.makeDir(u"w"_s) + u"/plan.dwg"_s;
        QVERIFY(QFile::link(real, source));
        runOn(frmMain::instance(), false, source);
        QCOMPARE(env.messageTexts(), QStringList{u"Datei "_s + source + u" ist eine Verknüpfung auf "_s + real + u" und wird nicht gelöscht !"_s});
        QCOMPARE(env.messages.first().icon, Platform::Icon::Warning);
        QCOMPARE(contentOf(real), content);
        QVERIFY(QFileInfo(source).isSymLink());
        QVERIFY(contentOf(source + u".D0C"_s) == xorWith(content, "33"));
    }
};

QTEST_MAIN(TestCipherSafety)
#include "tst_ciphersafety.moc"
