#include "helpers/testenv.h"
#include "textcipher/frm_txtkrypt.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

namespace {

// Widths the window takes while it is built and unfolded.
struct WidthRecorder : QObject {
    QList<int> widths;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && watched->objectName() == QStringLiteral("frm_txtkrypt"))
            widths.append(static_cast<QResizeEvent *>(event)->size().width());
        return false;
    }
};

struct KeyCase { QString typed; int key; QString hint; bool workingArea; }; // key 0: none
// clicks: E encode, D decode, C clear; buttons: "ED" both enabled, "-D" only Decode, ...
struct ButtonCase { QString pw, text; const char *clicks, *buttons; QString status, result; };

} // namespace

Q_DECLARE_METATYPE(KeyCase)
Q_DECLARE_METATYPE(ButtonCase)

// Unfolding takes half a second, so the cases share one window; only the quit case opens it afresh.
class TestFrmTxtKrypt : public QObject
{
    Q_OBJECT

    TestEnv env; // its end closes the window
    frm_txtkrypt *w = nullptr;

    template <typename T = QWidget>
    T *find(const char *name) { return w->findChild<T *>(QString::fromLatin1(name)); }
    QLineEdit *password() { return find<QLineEdit>("txtPassword"); }
    QPlainTextEdit *box() { return find<QPlainTextEdit>("txtToEncode"); }
    QString status() { return find<QLabel>("lblstatus")->text(); }
    QString enabled()
    {
        return QString(find("cmdEncode")->isEnabled() ? u'E' : u'-') + (find("cmdDecode")->isEnabled() ? u'D' : u'-');
    }
    void click(const char *name) { QTest::mouseClick(find(name), Qt::LeftButton); }
    void typeIntoBox(const QString &text) // key by key; a line feed is the Enter key
    {
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, box(), c == u'\n' ? Qt::Key_Return : Qt::Key_unknown,
                                QString(c == u'\n' ? u'\r' : c), Qt::NoModifier);
    }
    frm_txtkrypt *showWindow()
    {
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()"); // offscreen
        return frm_txtkrypt::showWindow();
    }

private slots:
    // The state of a fresh window, without unfolding it again.
    void init()
    {
        env.messages.clear();
        env.clipboard.clear();
        w = frm_txtkrypt::instance();
        password()->clear();
        password()->setEchoMode(QLineEdit::Password);
        password()->setFocus();
        box()->clear();
        find<QLabel>("lblstatus")->clear();
        find("Frame1")->hide();
        find("Frame_Quest")->hide();
        find("cmdEncode")->setEnabled(true);
        find("cmdDecode")->setEnabled(true);
    }

    void texts()
    {
        const struct { const char *name, *property, *text; } texts[] = {
            {"Label1", "text", "password:"}, {"Frame1", "title", "txt file"}, {"cmd_yes", "text", "YES"},
            {"cmd_no", "text", "NO"}, {"Label8", "text", "Text in textbox will be lost ! Do you want to continue ?"},
            {"Label3", "text", "copy to Clipboard"}, {"Label6", "text", "paste from clipboard"},
            {"Label9", "text", "clear"}, {"Label7", "text", "quit"}, {"img_clip", "toolTip", "copy to clipboard"},
            {"img_paste", "toolTip", "paste from clipboard"}, {"img_clear", "toolTip", ""}, {"img_exit", "toolTip", "EXIT"}};
        for (const auto &t : texts) {
            QVERIFY2(find(t.name), t.name);
            QCOMPARE(find(t.name)->property(t.property).toString(), QString::fromLatin1(t.text));
        }
    }

    void passwordKeys_data()
    {
        QTest::addColumn<KeyCase>("c");
        const QString tooShort = QStringLiteral("password to short");
        const QString better = QStringLiteral("password\u00b4s could be better");
        const QString ok = QStringLiteral("password length ok.");
        QTest::newRow("5th key still short") << KeyCase{QStringLiteral("abcde"), 0, tooShort, false};
        QTest::newRow("6th key") << KeyCase{QStringLiteral("abcdef"), 0, better, false};
        QTest::newRow("7th key") << KeyCase{QStringLiteral("abcdefg"), 0, better, false};
        QTest::newRow("8th key") << KeyCase{QStringLiteral("abcdefgh"), 0, ok, false};
        QTest::newRow("backspace: length before") << KeyCase{QStringLiteral("1234567"), Qt::Key_Backspace, ok, false};
        QTest::newRow("no character, no hint") << KeyCase{QString(), Qt::Key_Left, QString(), false};
        QTest::newRow("Enter on empty field") << KeyCase{QString(), Qt::Key_Return, tooShort, false};
        QTest::newRow("Enter") << KeyCase{QStringLiteral("geheim"), Qt::Key_Return, better, true};
        QTest::newRow("keypad Enter") << KeyCase{QStringLiteral("geheim"), Qt::Key_Enter, better, true};
    }
    void passwordKeys()
    {
        QFETCH(KeyCase, c);
        QTest::keyClicks(password(), c.typed);
        if (c.key)
            QTest::keyClick(password(), Qt::Key(c.key));
        if (c.key == Qt::Key_Backspace)
            c.typed.chop(1);
        QCOMPARE(status(), c.hint);
        QCOMPARE(find("Frame1")->isVisible(), c.workingArea);
        QCOMPARE(password()->text(), c.typed);
        const QString stars(c.typed.size(), u'*');
        QCOMPARE(password()->displayText(), stars);
        click("Label1"); // shows the password, a second click masks it again
        QCOMPARE(password()->displayText(), c.typed);
        click("Label1");
        QCOMPARE(password()->displayText(), stars);
    }

    void buttons_data()
    {
        QTest::addColumn<ButtonCase>("c");
        const QString noPw = QStringLiteral("please enter password !");
        const QString encoded = QStringLiteral("encoded"), decoded = QStringLiteral("decoded");
        const QString abc = QStringLiteral("abc"), hex = QStringLiteral("C300C400C500");
        const QString b = QStringLiteral("b");
        const QString lines = QStringLiteral("Zeile 1\nZeile 2 \u20ac\u00e4\n\n\tEnde");
        QTest::newRow("encode without password") << ButtonCase{QString(), abc, "E", "ED", noPw, abc};
        QTest::newRow("decode without password") << ButtonCase{QString(), hex, "D", "ED", noPw, hex};
        QTest::newRow("encode") << ButtonCase{b, abc, "E", "-D", encoded, hex};
        QTest::newRow("encode empty box")
            << ButtonCase{b, QString(), "E", "-D", QStringLiteral("kein Code zum verschl\u00fcsseln"), QString()};
        QTest::newRow("encode after decode") << ButtonCase{b, hex, "DE", "-D", encoded, hex};
        QTest::newRow("blanks and breaks only")
            << ButtonCase{b, QStringLiteral("  \n \n  "), "D", "E-", QStringLiteral("kein Code zum entschl\u00fcsseln"), QString()};
        QTest::newRow("malformed hex decodes quietly") << ButtonCase{b, QStringLiteral("ZZ"), "D", "E-", decoded, QString()};
        QTest::newRow("clear after encode") << ButtonCase{b, abc, "EC", "ED", encoded, QString()};
        QTest::newRow("clear after decode") << ButtonCase{b, hex, "DC", "ED", decoded, QString()};
        QTest::newRow("typed lines round trip") << ButtonCase{b, lines, "ED", "E-", decoded, lines};
    }
    void buttons()
    {
        QFETCH(ButtonCase, c);
        QTest::keyClicks(password(), c.pw + u'\r');
        find("Frame1")->show();
        typeIntoBox(c.text);
        for (const char *k = c.clicks; *k; ++k)
            click(*k == 'E' ? "cmdEncode" : *k == 'D' ? "cmdDecode" : "img_clear");
        QCOMPARE(enabled(), QString::fromLatin1(c.buttons));
        QCOMPARE(status(), c.status);
        QCOMPARE(box()->toPlainText(), c.result);
        QCOMPARE(password()->text(), c.pw);
    }

    // Hex text that travelled in groups and lines, pasted over typed text, decoded and copied.
    void paste_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("plain");
        const QString plain = QStringLiteral("a\r\nb");
        QTest::newRow("groups and lines") << QStringLiteral("\r\n C300  6F00 \r\n6C00  C400 ") << plain;
        QTest::newRow("LF lines") << QStringLiteral("\nC3006F00\n6C00C400") << plain;
        // The box must not turn the no-break space into a blank.
        QTest::newRow("unusual characters") << QStringLiteral("C3000300C4006900C5006B00C600") << QStringLiteral("a\u00a0b\u0007c\td");
        QTest::newRow("empty clipboard") << QString() << QString();
    }
    void paste()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, plain);
        env.clipboard = pasted;
        QTest::keyClicks(password(), QStringLiteral("b\r"));
        typeIntoBox(QStringLiteral("mein Text"));
        QWidget *quest = find("Frame_Quest");
        click("img_paste");
        QWidget *top = w->childAt(quest->geometry().center());
        QVERIFY(quest->isVisible() && (top == quest || quest->isAncestorOf(top)));
        click("cmd_no");
        QVERIFY(!quest->isVisible());
        QCOMPARE(box()->toPlainText(), QStringLiteral("mein Text"));
        click("img_paste");
        click("cmdEncode"); // the question does not block the window
        QCOMPARE(status(), QStringLiteral("encoded"));
        click("cmd_yes");
        QCOMPARE(box()->toPlainText(), QString(pasted).remove(u'\r'));
        QVERIFY(!quest->isVisible() && enabled() == QStringLiteral("-D")); // pasting leaves the buttons alone
        click("cmdDecode");
        QCOMPARE(status(), plain.isEmpty() ? QStringLiteral("kein Code zum entschl\u00fcsseln") : QStringLiteral("decoded"));
        env.clipboard = QStringLiteral("old");
        click("img_clip");
        QCOMPARE(env.clipboard, plain);
        QVERIFY(env.messages.isEmpty());
    }

    // A long text goes through "Encode", the clipboard and "Decode" exactly, while the box
    // lays its long lines out in short pieces (one block of a million digits takes seconds to
    // lay out, and again at every keystroke).
    void longTextRoundTrip()
    {
        QString plain;
        for (int i = 0; plain.size() < 20000; ++i)
            plain += i % 50 == 49 ? QStringLiteral("Absatz ohne Umbruch ").repeated(250) + QStringLiteral("\r\n")
                                  : QStringLiteral("Zeile %1 \u00e4\u00f6\u00fc \u20ac\r\n").arg(i);
        QTest::keyClicks(password(), QStringLiteral("geheim\r"));
        env.clipboard = plain;
        click("img_paste");
        click("cmd_yes");
        click("cmdEncode");
        QCOMPARE(status(), QStringLiteral("encoded"));
        click("img_clip");
        const QString hex = env.clipboard;
        QCOMPARE(hex.size(), 4 * plain.size());
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]+$")).match(hex).hasMatch());
        const auto laidOutInPieces = [this] {
            for (QTextBlock b = box()->document()->begin(); b.isValid(); b = b.next()) {
                box()->document()->documentLayout()->blockBoundingRect(b);
                if (b.layout()->lineCount() > 40)
                    return false;
            }
            return true;
        };
        QVERIFY(laidOutInPieces());
        click("cmdDecode");
        QCOMPARE(status(), QStringLiteral("decoded"));
        click("img_clip");
        QCOMPARE(env.clipboard, plain);
        QVERIFY(laidOutInPieces());
    }

    void focusOrder()
    {
        QTest::keyClicks(password(), QStringLiteral("pw\r"));
        QApplication::setActiveWindow(w);
        box()->setFocus();
        for (const char *name : {"cmdEncode", "cmdDecode", "txtPassword"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), find(name));
        }
    }

    // Quitting discards the window; the next opening builds it afresh and unfolds it again.
    void quitAndReopen()
    {
        QTest::keyClicks(password(), QStringLiteral("geheim\r"));
        QPointer<frm_txtkrypt> old = w;
        click("img_exit");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!old && !frm_txtkrypt::existing());
        WidthRecorder recorder;
        qApp->installEventFilter(&recorder);
        w = showWindow();
        const QList<int> widths = recorder.widths;
        QVERIFY2(widths.size() >= 25 && widths.first() * 15 < 1000, qPrintable(QString::number(widths.size())));
        for (int i = 1; i < widths.size(); ++i) {
            const int step = widths.at(i) - widths.at(i - 1);
            QVERIFY2(step >= 16 && step <= 18, qPrintable(QStringLiteral("step %1: %2").arg(i).arg(step)));
        }
        const int outer = w->frameGeometry().width() * 15;
        QVERIFY2(outer >= 7875 && outer < 7875 + 250 + 15, qPrintable(QString::number(outer)));
        QCOMPARE(w->windowTitle(), QStringLiteral("ZuraRudud"));
        QVERIFY(w->isVisible() && !w->isModal() && !find("Frame1")->isVisible() && !find("Frame_Quest")->isVisible());
        QVERIFY(password()->text().isEmpty() && box()->toPlainText().isEmpty() && status().isEmpty());
        QVERIFY(password()->echoMode() == QLineEdit::Password && enabled() == QStringLiteral("ED"));
        QCOMPARE(w->focusWidget(), password());
        password()->setText(QStringLiteral("kept"));
        recorder.widths.clear();
        QCOMPARE(showWindow(), w); // showing it again neither rebuilds nor unfolds it
        qApp->removeEventFilter(&recorder);
        QVERIFY(recorder.widths.isEmpty() && password()->text() == QStringLiteral("kept"));
        old = w;
        w->close(); // from the title bar
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!old && !frm_txtkrypt::existing());
    }
};

QTEST_MAIN(TestFrmTxtKrypt)
#include "tst_frm_txtkrypt.moc"
