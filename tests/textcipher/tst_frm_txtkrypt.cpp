#include "helpers/testenv.h"
#include "textcipher/frm_txtkrypt.h"
#include "textcipher/longlinetextedit.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <cstring>

namespace {

// keys: into the password field ("\r" Enter, "\n" keypad Enter, "\b" Backspace, "\t" no text).
// typed: into the text box. steps: E Encode, D Decode, C clear, K copy, P paste, Y and N its
// answers. state: Encode, Decode enabled, working area, paste question shown, as + or -.
struct Case { QString keys, clipboard, typed; const char *steps, *state; QString status, box; };

} // namespace

Q_DECLARE_METATYPE(Case)

// The text cipher window and its text box, which shows a long line in display pieces of whole
// screen lines that are not part of the text. Unfolding takes half a second, so the cases share
// one window; only the quit case opens it afresh.
class TestFrmTxtKrypt : public QObject
{
    Q_OBJECT

    TestEnv env; // its end closes the window
    frm_txtkrypt *w = nullptr;

    template <typename T = QWidget>
    T *find(const char *name) { return child<T>(w, name); }
    QLineEdit *password() { return find<QLineEdit>("txtPassword"); }
    LongLineTextEdit *box() { return find<LongLineTextEdit>("txtToEncode"); }
    QString status() { return find<QLabel>("lblstatus")->text(); }
    void click(const char *name) { QTest::mouseClick(find(name), Qt::LeftButton); }
    void press(int key, int modifiers = Qt::ControlModifier) { QTest::keyClick(box(), Qt::Key(key), Qt::KeyboardModifiers(modifiers)); }
    QString state()
    {
        QString s;
        for (const char *name : {"cmdEncode", "cmdDecode", "Frame1", "Frame_Quest"})
            s += (name[0] == 'c' ? find(name)->isEnabled() : find(name)->isVisible()) ? u'+' : u'-';
        return s;
    }
    void typeIntoBox(const QString &text) // key by key; a line feed is the Enter key
    {
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, box(), c == u'\n' ? Qt::Key_Return : Qt::Key_unknown, QString(c == u'\n' ? u'\r' : c), {});
    }
    QStringList pieces()
    {
        QStringList texts;
        for (QTextBlock b = box()->document()->begin(); b.isValid(); b = b.next())
            texts << b.text();
        return texts;
    }
    // Screen lines of the longest piece, each laid out.
    int longestPiece()
    {
        int most = 0;
        for (QTextBlock b = box()->document()->begin(); b.isValid(); b = b.next()) {
            box()->document()->documentLayout()->blockBoundingRect(b);
            most = qMax(most, b.layout()->lineCount());
        }
        return most;
    }
    static QString hexLine(qsizetype size)
    {
        QString line;
        for (qsizetype i = 0; i < size; ++i)
            line += QLatin1Char("0123456789ABCDEF"[(i * 7 + i / 16) % 16]);
        return line;
    }
    // A line of two and a half pieces; returns the length of a piece, where the first display break is.
    int startWithLongLine(QString *line)
    {
        box()->setText(hexLine(100000));
        const int piece = box()->document()->begin().length() - 1;
        box()->setText(*line = hexLine(piece * 5 / 2));
        return piece;
    }

private slots:
    // The state of a fresh window, without unfolding it again.
    void init()
    {
        env.messages.clear();
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

    void stateAndStatus_data()
    {
        QTest::addColumn<Case>("c");
        const QString abc = QStringLiteral("abc"), hex = QStringLiteral("C300C400C500"), noPw = QStringLiteral("please enter password !");
        const QString better = QStringLiteral("password\u00b4s could be better"), tooShort = QStringLiteral("password to short");
        const QString lines = QStringLiteral("Zeile 1\r\nZeile 2 \u20ac\u00e4\r\n\r\n\tEnde");
        const QString plain = QStringLiteral("a\r\nb"), mine = QStringLiteral("mein Text");
        const QString coded = QStringLiteral("encoded"), decoded = QStringLiteral("decoded");
        // The hint counts the characters before the key.
        QTest::newRow("5th key still short") << Case{QStringLiteral("abcde"), {}, {}, "", "++--", tooShort, {}};
        QTest::newRow("6th key") << Case{QStringLiteral("abcdef"), {}, {}, "", "++--", better, {}};
        QTest::newRow("8th key") << Case{QStringLiteral("abcdefgh"), {}, {}, "", "++--", QStringLiteral("password length ok."), {}};
        QTest::newRow("backspace") << Case{QStringLiteral("1234567\b"), {}, {}, "", "++--", QStringLiteral("password length ok."), {}};
        QTest::newRow("key without text, no hint") << Case{QStringLiteral("\t"), {}, {}, "", "++--", {}, {}};
        QTest::newRow("Enter on empty field") << Case{QStringLiteral("\r"), {}, {}, "", "++--", tooShort, {}};
        QTest::newRow("Enter") << Case{QStringLiteral("geheim\r"), {}, {}, "", "+++-", better, {}};
        QTest::newRow("keypad Enter") << Case{QStringLiteral("geheim\n"), {}, {}, "", "+++-", better, {}};
        QTest::newRow("encode without password") << Case{QStringLiteral("x\r\b"), {}, abc, "E", "+++-", noPw, abc};
        QTest::newRow("decode without password") << Case{QStringLiteral("x\r\b"), {}, hex, "D", "+++-", noPw, hex};
        QTest::newRow("encode") << Case{QStringLiteral("b\r"), {}, abc, "E", "-++-", coded, hex};
        QTest::newRow("encode empty box") << Case{QStringLiteral("b\r"), {}, {}, "E", "-++-", QStringLiteral("kein Code zum verschl\u00fcsseln"), {}};
        QTest::newRow("encode after decode") << Case{QStringLiteral("b\r"), {}, hex, "DE", "-++-", coded, hex};
        QTest::newRow("blanks and breaks only")
            << Case{QStringLiteral("b\r"), {}, QStringLiteral("  \n \n  "), "D", "+-+-", QStringLiteral("kein Code zum entschl\u00fcsseln"), {}};
        QTest::newRow("malformed hex decodes quietly") << Case{QStringLiteral("b\r"), {}, QStringLiteral("ZZ"), "D", "+-+-", decoded, {}};
        QTest::newRow("clear after encode") << Case{QStringLiteral("b\r"), {}, abc, "EC", "+++-", coded, {}};
        QTest::newRow("typed lines round trip") << Case{QStringLiteral("b\r"), {}, QString(lines).remove(u'\r'), "EDK", "+-+-", decoded, lines};
        // Hex text that travelled in groups and lines, pasted over typed text, decoded and copied.
        const QString travelled = QStringLiteral("\r\n C300  6F00 \r\n6C00  C400 ");
        QTest::newRow("paste refused") << Case{QStringLiteral("b\r"), travelled, mine, "PN", "+++-", tooShort, mine};
        QTest::newRow("paste question open") << Case{QStringLiteral("b\r"), travelled, mine, "P", "++++", tooShort, mine};
        QTest::newRow("groups and lines") << Case{QStringLiteral("b\r"), travelled, mine, "PYDK", "+-+-", decoded, plain};
        QTest::newRow("LF lines") << Case{QStringLiteral("b\r"), QStringLiteral("\nC3006F00\n6C00C400"), mine, "PYDK", "+-+-", decoded, plain};
        // The box must not turn the no-break space into a blank.
        QTest::newRow("unusual characters") << Case{QStringLiteral("b\r"), QStringLiteral("C3000300C4006900C5006B00C600"), mine, "PYDK",
                                                    "+-+-", decoded, QStringLiteral("a\u00a0b\u0007c\td")};
        QTest::newRow("empty clipboard") << Case{QStringLiteral("b\r"), QString(), mine, "PYD", "+-+-", QStringLiteral("kein Code zum entschl\u00fcsseln"), {}};
        QTest::newRow("pasting leaves the buttons") << Case{QStringLiteral("b\r"), hex, mine, "EPY", "-++-", coded, hex};
    }
    void stateAndStatus()
    {
        QFETCH(Case, c);
        env.clipboard = c.clipboard;
        for (const QChar k : c.keys) {
            if (k == u'\n')
                QTest::keyClick(password(), Qt::Key_Enter, Qt::KeypadModifier);
            else
                QTest::keyClick(password(), k.toLatin1());
        }
        const QString stars(password()->text().size(), u'*');
        QCOMPARE(password()->displayText(), stars);
        click("Label1"); // shows the password, a second click masks it again
        QCOMPARE(password()->displayText(), password()->text());
        click("Label1");
        QCOMPARE(password()->displayText(), stars);
        typeIntoBox(c.typed);
        for (const char *step = c.steps; *step; ++step) {
            const char *names[] = {"cmdEncode", "cmdDecode", "img_clear", "img_clip", "img_paste", "cmd_yes", "cmd_no"}, *keys = "EDCKPYN";
            click(names[std::strchr(keys, *step) - keys]);
            if (*step == 'P') { // the question shows over the working area
                QWidget *top = w->childAt(find("Frame_Quest")->geometry().center());
                QVERIFY(top == find("Frame_Quest") || find("Frame_Quest")->isAncestorOf(top));
            }
        }
        QCOMPARE(state(), QString::fromLatin1(c.state));
        QCOMPARE(status(), c.status);
        QCOMPARE(box()->text(), c.box);
        if (std::strchr(c.steps, 'K'))
            QCOMPARE(env.clipboard, c.box);
        QCOMPARE(env.messageTexts(), QStringList());
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
        for (const char *name : {"img_paste", "cmd_yes", "cmdEncode", "img_clip"})
            click(name);
        const QString hex = env.clipboard;
        QCOMPARE(hex.size(), 4 * plain.size());
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]+$")).match(hex).hasMatch());
        QVERIFY(longestPiece() <= LongLineTextEdit::kLinesPerPiece);
        click("cmdDecode");
        click("img_clip");
        QCOMPARE(status(), QStringLiteral("decoded"));
        QCOMPARE(env.clipboard, plain);
        QVERIFY(longestPiece() <= 40); // words wrap a little earlier than hex digits
    }

    // The text comes back as given whatever the pieces, set or pasted over the whole text. The
    // pieces of a hex line fill whole screen lines, so that they look like one wrapped paragraph.
    void textKeptAsGiven_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("text"); // line breaks as CR LF
        QString words, clefs = QStringLiteral("x"); // the pairs start at odd offsets, where piece ends fall
        for (int i = 0; i < 20000; ++i)
            words += QStringLiteral("Wort%1 ").arg(i % 97);
        for (int i = 0; i < 30000; ++i)
            clefs += QStringLiteral("\U0001D11E");
        QTest::newRow("LF, CR and paragraph separator") << QStringLiteral("a\nb\rc\u2029d") << QStringLiteral("a\r\nb\r\nc\r\nd");
        QTest::newRow("empty lines") << QStringLiteral("\r\n\r\nx\r\n") << QStringLiteral("\r\n\r\nx\r\n");
        QTest::newRow("hex line") << hexLine(50000) << hexLine(50000);
        QTest::newRow("long line of words") << words << words;
        QTest::newRow("long lines between short ones")
            << QStringLiteral("kurz\n") + words + QStringLiteral("\n\n") + clefs + QStringLiteral("\nkurz")
            << QStringLiteral("kurz\r\n") + words + QStringLiteral("\r\n\r\n") + clefs + QStringLiteral("\r\nkurz");
    }
    void textKeptAsGiven()
    {
        QFETCH(QString, given);
        QFETCH(QString, text);
        find("Frame1")->show();
        for (const bool pasted : {false, true}) {
            if (pasted) {
                QGuiApplication::clipboard()->setText(given);
                press(Qt::Key_A);
                press(Qt::Key_V);
            } else {
                box()->setText(given);
                QVERIFY(!box()->document()->isUndoAvailable());
            }
            QCOMPARE(box()->text(), text);
            // No piece splits a character; a piece of a line of words ends after a blank.
            const QStringList shown = pieces();
            for (const QString &piece : shown) {
                QVERIFY(piece.isEmpty() || (!piece.back().isHighSurrogate() && !piece.front().isLowSurrogate()));
                QVERIFY(piece.size() < 1000 || !piece.startsWith(QStringLiteral("Wort")) || piece.endsWith(u' '));
            }
            QVERIFY(longestPiece() <= 40);
            if (QTest::currentDataTag() != QByteArrayLiteral("hex line"))
                continue;
            QVERIFY(shown.size() > 3 && longestPiece() <= LongLineTextEdit::kLinesPerPiece);
            const int perLine = int(shown.first().size()) / LongLineTextEdit::kLinesPerPiece;
            for (QTextBlock b = box()->document()->begin(); b.next().isValid(); b = b.next()) {
                for (int i = 0; i < b.layout()->lineCount(); ++i)
                    QCOMPARE(b.layout()->lineAt(i).textLength(), perLine);
            }
        }
    }

    // Keys at and near the first display break; "at" is the cursor's position counted from it
    // (0: end of the first piece, 1: start of the second). The line loses the character at
    // changeAt, counted from the break, or gets a text inserted there; undo brings it back.
    void editsAtDisplayBreaks_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<int>("changeAt");
        QTest::addColumn<QString>("inserted"); // null: one character removed
        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier;
        const QString crlf = QStringLiteral("\r\n");
        QTest::newRow("Enter at the end of a piece") << 0 << int(Qt::Key_Return) << none << QString() << 0 << crlf;
        QTest::newRow("Enter at the start of a piece") << 1 << int(Qt::Key_Return) << none << QString() << 0 << crlf;
        QTest::newRow("Enter inside a piece") << 6 << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << QString() << 5 << crlf;
        QTest::newRow("Backspace at the start of a piece") << 1 << int(Qt::Key_Backspace) << none << QString() << -1 << QString();
        QTest::newRow("Delete at the end of a piece") << 0 << int(Qt::Key_Delete) << none << QString() << 0 << QString();
        QTest::newRow("Delete before the end of a piece") << -1 << int(Qt::Key_Delete) << none << QString() << -1 << QString();
        QTest::newRow("paste lines into a piece") << 6 << int(Qt::Key_V) << ctrl << QStringLiteral("x\ny\r\nz") << 5 << QStringLiteral("x\r\ny\r\nz");
        QTest::newRow("paste lines at the start of a piece") << 1 << int(Qt::Key_V) << ctrl << QStringLiteral("x\n") << 0 << QStringLiteral("x\r\n");
    }
    void editsAtDisplayBreaks()
    {
        QFETCH(int, at);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, clipboard);
        QFETCH(int, changeAt);
        QFETCH(QString, inserted);
        find("Frame1")->show();
        QString line;
        const int piece = startWithLongLine(&line);
        const QString expected = inserted.isNull() ? QString(line).remove(piece + changeAt, 1) : QString(line).insert(piece + changeAt, inserted);
        QGuiApplication::clipboard()->setText(clipboard);
        QTextCursor cursor = box()->textCursor();
        cursor.setPosition(piece + at);
        box()->setTextCursor(cursor);
        press(key, modifiers);
        QCOMPARE(box()->text(), expected);
        press(Qt::Key_Z);
        QCOMPARE(box()->text(), line);
    }

    // A selection across display breaks copies and cuts without them; undo restores the pieces.
    void cutAndPasteAcrossDisplayBreaks()
    {
        find("Frame1")->show();
        QString line;
        const int piece = startWithLongLine(&line);
        const int blockCount = box()->document()->blockCount();
        QTextCursor cursor = box()->textCursor();
        cursor.setPosition(piece - 3);
        cursor.setPosition(2 * piece + 2 + 3, QTextCursor::KeepAnchor); // two breaks inside
        box()->setTextCursor(cursor);
        const QString selected = line.mid(piece - 3, piece + 6);
        press(Qt::Key_C);
        QCOMPARE(QGuiApplication::clipboard()->text(), selected);
        press(Qt::Key_X);
        QCOMPARE(box()->text(), QString(line).remove(piece - 3, piece + 6));
        press(Qt::Key_Z);
        QCOMPARE(box()->text(), line);
        QCOMPARE(box()->document()->blockCount(), blockCount);
        press(Qt::Key_End);
        press(Qt::Key_V);
        QCOMPARE(box()->text(), line + selected);
    }

    // Quitting discards the window; the next opening builds it afresh. Showing it again keeps it.
    void quitAndReopen()
    {
        QTest::keyClicks(password(), QStringLiteral("geheim\r"));
        QPointer<frm_txtkrypt> old = w;
        click("img_exit");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!old && !frm_txtkrypt::existing());
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()"); // offscreen
        w = frm_txtkrypt::showWindow();
        QVERIFY(w->isVisible() && !w->isModal() && state() == QStringLiteral("++--"));
        QVERIFY(password()->text().isEmpty() && box()->text().isEmpty() && status().isEmpty());
        QVERIFY(password()->echoMode() == QLineEdit::Password && w->focusWidget() == password());
        QTest::keyClicks(password(), QStringLiteral("kept\r"));
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
        QCOMPARE(frm_txtkrypt::showWindow(), w);
        QCOMPARE(password()->text(), QStringLiteral("kept"));
        // Tab leaves the text box for the buttons, and on to the password.
        QApplication::setActiveWindow(w);
        box()->setFocus();
        for (const char *name : {"cmdEncode", "cmdDecode", "txtPassword"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), find(name));
        }
        old = w;
        w->close(); // from the title bar
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!old && !frm_txtkrypt::existing());
    }
};

QTEST_MAIN(TestFrmTxtKrypt)
#include "tst_frm_txtkrypt.moc"
