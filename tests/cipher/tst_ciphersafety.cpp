#include "app/core/cp1252.h"
#include "cipher/frmmain.h"
#include "cipher/frmpass.h"
#include "cipher/core/keyderivation.h"
#include "helpers/testenv.h"
#include "app/clicklabel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <memory>

#include <cstdio>

namespace {

const QString kPassword = QStringLiteral("ab");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray transformed(const QByteArray &bytes)
{
    const QByteArray codes = Cp1252::encode(KeyDerivation::deriveKey(kPassword));
    QByteArray out = bytes;
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = char(out.at(i) ^ codes.at(i % codes.size()));
    return out;
}

// Types the password into the prompt each time it shows, then Enter.
class PasswordTyper : public QObject
{
public:
    PasswordTyper() { qApp->installEventFilter(this); }
    ~PasswordTyper() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *prompt = event->type() == QEvent::Show ? qobject_cast<frmPass *>(watched) : nullptr;
        if (prompt) {
            QTimer::singleShot(0, prompt, [prompt] {
                QTest::keyClicks(child<QLineEdit>(prompt, "txtPass"), kPassword);
                QTest::keyClick(child<QLineEdit>(prompt, "txtPass"), Qt::Key_Return);
            });
        }
        return false;
    }
};

} // namespace

// The cipher window meets a source that another program changes while it works: the source is
// removed afterwards only while it is still the file that was read.
class TestCipherSafety : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        closeWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        env.reset();
    }

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
        PasswordTyper typer;
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
            Platform::Hooks hooks;
            hooks.programFolder = env->programFolder();
            hooks.messageBox = [&](const Platform::MessageBoxCall &call) {
                env->messages.append(call);
                if (call.buttons != Platform::Buttons::YesNo)
                    return Platform::Answer::Ok;
                saveOver();
                return Platform::Answer::Yes;
            };
            Platform::setHooks(hooks);
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
        (decrypt ? child<QLineEdit>(w, "txtDec") : child<QLineEdit>(w, "txtEnc"))->setText(source);
        QTest::mouseClick(decrypt ? child<ClickLabel>(w, "img_decfile") : child<ClickLabel>(w, "img_file"), Qt::LeftButton);

        if (change == QLatin1String("written to")) {
            // The result could mix both versions: nothing is written, nothing removed.
            QCOMPARE(env->messages.size(), 1);
            QCOMPARE(env->messages.first().icon, Platform::Icon::Error);
            QVERIFY(env->messages.first().text.startsWith(QStringLiteral("Die Datei wurde während des Lesens geändert:\n")
                                                          + QDir::toNativeSeparators(source)));
            QVERIFY(readAll(source) == older + newer);
            QCOMPARE(readAll(target), QByteArray("<missing>"));
            QVERIFY(!child<QLabel>(w, "lblstatus")->text().startsWith(QStringLiteral("Datei ist")));
            return;
        }
        if (change == QLatin1String("removed")) {
            // Gone already: the result is complete, and there is nothing to remove or report.
            QVERIFY(readAll(target) == transformed(older));
            QCOMPARE(readAll(source), QByteArray("<missing>"));
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
        QCOMPARE(readAll(source), newer);
        QVERIFY(readAll(target) == transformed(older));
        // The newer file keeps its permissions, and nothing hidden is left beside it.
        QVERIFY(!(QFile::permissions(source) & QFile::WriteOwner));
        QCOMPARE(QDir(QFileInfo(source).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 2);
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
        PasswordTyper typer;
        const QByteArray content("Inhalt der verknüpften Datei");
        const QString real = env->writeFile(QStringLiteral("elsewhere/plan.dwg"), content);
        const QString source = env->root() + (decrypt ? QStringLiteral("/w/plan.dwg.D0C") : QStringLiteral("/w/plan.dwg"));
        QVERIFY(QDir().mkpath(env->root() + QStringLiteral("/w")));
        QVERIFY(QFile::link(real, source));
        const QString target = decrypt ? source.chopped(4) : source + QStringLiteral(".D0C");

        frmMain *w = frmMain::instance();
        (decrypt ? child<QLineEdit>(w, "txtDec") : child<QLineEdit>(w, "txtEnc"))->setText(source);
        QTest::mouseClick(decrypt ? child<ClickLabel>(w, "img_decfile") : child<ClickLabel>(w, "img_file"), Qt::LeftButton);

        QCOMPARE(env->messageTexts(), QStringList(QStringLiteral("Datei ") + source + QStringLiteral(" ist eine Verknüpfung auf ")
                                                  + real + QStringLiteral(" und wird nicht gelöscht !")));
        QCOMPARE(env->messages.first().icon, Platform::Icon::Warning);
        QCOMPARE(readAll(real), content);
        QVERIFY(QFileInfo(source).isSymLink());
        QVERIFY(readAll(target) == transformed(content));
    }
};

QTEST_MAIN(TestCipherSafety)
#include "tst_ciphersafety.moc"
