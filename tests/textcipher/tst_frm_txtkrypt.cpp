#include "helpers/testenv.h"
#include "textcipher/frm_txtkrypt.h"
#include "textcipher/longlinetextedit.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {
// keys: into the password field ("\r" Enter, "\b" Backspace, "\t" a key without text).
// typed: into the text box. steps: E Encode, D Decode, C clear, K copy, P paste, Y and N its
// answers. state: Encode, Decode enabled, working area, paste question shown, as + or -.
struct Case { QString keys, clipboard, typed; const char *steps, *state; QString status, box; };
// A key at or near the first display break of a long line, so many characters selected from at;
// at and change count from the break (0: end of the first piece, 1: start of the second). The key
// removes the selection, or one character when it inserts nothing, and inserts a text at change.
struct Edit { int at, selected, key, modifiers; QString clipboard; int change; QString inserted; };
} // namespace
Q_DECLARE_METATYPE(Case)
Q_DECLARE_METATYPE(Edit)

// The text cipher window and its text box, which shows long lines in display pieces that are not
// part of the text. Unfolding takes half a second: the cases share one window.
class TestFrmTxtKrypt : public QObject
{
    Q_OBJECT

    TestEnv env; // its end closes the window
    frm_txtkrypt *w = nullptr;

    template <typename T = QWidget>
    T *find(const char *name) { return child<T>(w, name); }
    QLineEdit *password() { return find<QLineEdit>("txtPassword"); }
    LongLineTextEdit *box() { return find<LongLineTextEdit>("txtToEncode"); }
    void click(const char *name) { QTest::mouseClick(find(name), Qt::LeftButton); }
    void press(int key, int modifiers = Qt::ControlModifier) { QTest::keyClick(box(), Qt::Key(key), Qt::KeyboardModifiers(modifiers)); }
    QString state()
    {
        QString s;
        for (const char *name : {"cmdEncode", "cmdDecode", "Frame1", "Frame_Quest"})
            s += (name[0] == 'c' ? find(name)->isEnabled() : find(name)->isVisible()) ? u'+' : u'-';
        return s;
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
    // A line of hex digits of two and a half pieces in the shown box; returns a piece's length.
    int startWithLongLine(QString *line)
    {
        find("Frame1")->show();
        QString digits;
        for (int i = 0; i < 100000; ++i)
            digits += QLatin1Char("0123456789ABCDEF"[(i * 7 + i / 16) % 16]);
        box()->setText(digits);
        const int piece = box()->document()->begin().length() - 1;
        box()->setText(*line = digits.left(piece * 5 / 2));
        return piece;
    }

private slots:
    // The state of a fresh window, without unfolding it again.
    void init()
    {
        env.messages.clear();
        w = frm_txtkrypt::instance();
        QApplication::setActiveWindow(w);
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
        const QString abc = u"abc"_s, hex = u"C300C400C500"_s, noPw = u"please enter password !"_s, better = u"password\u00b4s could be better"_s;
        const QString tooShort = u"password to short"_s, ok = u"password length ok."_s, b = u"b\r"_s, mine = u"mein Text"_s;
        const QString coded = u"encoded"_s, decoded = u"decoded"_s, nothing = u"kein Code zum entschl\u00fcsseln"_s;
        const QString crlf = u"\r\n"_s, travelled = u"\r\n C300  6F00 \r\n6C00  C400 "_s, lines = u"Zeile 1\r\nZeile 2 \u20ac\u00e4\r\n\r\n\tEnde"_s;
        // The hint counts the characters before the key.
        QTest::newRow("5th key still short") << Case{u"abcde"_s, {}, {}, "", "++--", tooShort, {}};
        QTest::newRow("6th key") << Case{u"abcdef"_s, {}, {}, "", "++--", better, {}};
        QTest::newRow("backspace") << Case{u"1234567\b"_s, {}, {}, "", "++--", ok, {}};
        QTest::newRow("key without text, no hint") << Case{u"\t"_s, {}, {}, "", "++--", {}, {}};
        QTest::newRow("Enter on empty field") << Case{u"\r"_s, {}, {}, "", "++--", tooShort, {}};
        QTest::newRow("Enter") << Case{u"geheim\r"_s, {}, {}, "", "+++-", better, {}};
        QTest::newRow("encode without password") << Case{u"x\r\b"_s, {}, abc, "E", "+++-", noPw, abc};
        QTest::newRow("encode") << Case{b, {}, abc, "E", "-++-", coded, hex};
        QTest::newRow("encode empty box") << Case{b, {}, {}, "E", "-++-", u"kein Code zum verschl\u00fcsseln"_s, {}};
        QTest::newRow("decode without password") << Case{u"x\r\b"_s, {}, hex, "D", "+++-", noPw, hex};
        QTest::newRow("blanks and breaks only") << Case{b, {}, u"  \n \n  "_s, "D", "+-+-", nothing, {}};
        QTest::newRow("malformed hex decodes quietly") << Case{b, {}, u"ZZ"_s, "D", "+-+-", decoded, {}};
        QTest::newRow("clear after encode") << Case{b, {}, abc, "EC", "+++-", coded, {}};
        QTest::newRow("typed lines round trip") << Case{b, {}, QString(lines).remove(u'\r'), "EDK", "+-+-", decoded, lines};
        // Hex text that travelled in groups and lines, pasted over typed text, decoded and copied.
        QTest::newRow("paste refused") << Case{b, travelled, mine, "PN", "+++-", tooShort, mine};
        QTest::newRow("groups and lines") << Case{b, travelled, mine, "PYDK", "+-+-", decoded, u"a\r\nb"_s};
        // The box must not turn the no-break space into a blank.
        QTest::newRow("unusual characters") << Case{b, u"C3000300C4006900C5006B00C600"_s, mine, "PYDK", "+-+-", decoded, u"a\u00a0b\u0007c\td"_s};
        QTest::newRow("pasting leaves the buttons") << Case{b, hex, mine, "EPY", "-++-", coded, hex};
        // A long text goes through "Encode", the clipboard and "Decode" exactly, laid out in short pieces
        // (a block of a million digits takes seconds to lay out, and again at every keystroke).
        QString plain;
        for (int i = 0; plain.size() < 20000; ++i)
            plain += i % 50 == 49 ? u"Absatz ohne Umbruch "_s.repeated(250) + crlf : u"Zeile %1 \u00e4\u00f6\u00fc \u20ac\r\n"_s.arg(i);
        QTest::newRow("long text") << Case{u"geheim\r"_s, plain, {}, "PYEKDK", "+-+-", decoded, plain};
    }
    void stateAndStatus()
    {
        QFETCH(Case, c);
        env.clipboard = c.clipboard;
        QTest::keyClicks(password(), c.keys);
        const QString stars(password()->text().size(), u'*');
        for (const QString &shown : {stars, password()->text(), stars}) { // a click on "password:" shows or masks it
            QCOMPARE(password()->displayText(), shown);
            click("Label1");
        }
        for (QChar ch : c.typed) // key by key; a line feed is the Enter key
            QTest::sendKeyEvent(QTest::Click, box(), ch == u'\n' ? Qt::Key_Return : Qt::Key_unknown, ch == u'\n' ? u"\r"_s : QString(ch), {});
        if (box()->isVisible()) { // Tab leaves the text box for the buttons, and on to the password
            box()->setFocus();
            for (const char *name : {"cmdEncode", "cmdDecode", "txtPassword"}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget(), find(name));
            }
        }
        for (const char *step = c.steps; *step; ++step) {
            const char *names[] = {"cmdEncode", "cmdDecode", "img_clear", "img_clip", "img_paste", "cmd_yes", "cmd_no"}, *keys = "EDCKPYN";
            click(names[std::strchr(keys, *step) - keys]);
            QVERIFY(longestPiece() <= 40); // screen lines; words wrap a little earlier than hex digits
        }
        QCOMPARE(state(), QString::fromLatin1(c.state));
        QCOMPARE(find<QLabel>("lblstatus")->text(), c.status);
        QCOMPARE(box()->text(), c.box);
        QCOMPARE(env.clipboard, std::strchr(c.steps, 'K') ? c.box : c.clipboard);
        QCOMPARE(env.messageTexts(), QStringList());
    }

    void editsAtDisplayBreaks_data()
    {
        QTest::addColumn<Edit>("e");
        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier;
        const QString crlf = u"\r\n"_s;
        QString clefs = u"x"_s; // the pairs start at odd offsets, where piece ends fall
        for (int i = 0; i < 30000; ++i)
            clefs += u"\U0001D11E"_s;
        QTest::newRow("Enter at the end of a piece") << Edit{0, 0, Qt::Key_Return, none, {}, 0, crlf};
        QTest::newRow("Enter at the start of a piece") << Edit{1, 0, Qt::Key_Return, none, {}, 0, crlf};
        QTest::newRow("Enter inside a piece") << Edit{6, 0, Qt::Key_Enter, Qt::KeypadModifier, {}, 5, crlf};
        QTest::newRow("Backspace at the start of a piece") << Edit{1, 0, Qt::Key_Backspace, none, {}, -1, {}};
        QTest::newRow("Delete at the end of a piece") << Edit{0, 0, Qt::Key_Delete, none, {}, 0, {}};
        QTest::newRow("Delete before the end of a piece") << Edit{-1, 0, Qt::Key_Delete, none, {}, -1, {}};
        QTest::newRow("cut across a piece end") << Edit{-3, 6, Qt::Key_X, ctrl, {}, -3, {}};
        QTest::newRow("paste lines into a piece") << Edit{6, 0, Qt::Key_V, ctrl, u"x\ny\r\nz\rw\u2029v"_s, 5, u"x\r\ny\r\nz\r\nw\r\nv"_s};
        QTest::newRow("paste lines at the start of a piece") << Edit{1, 0, Qt::Key_V, ctrl, u"x\n"_s, 0, u"x\r\n"_s};
        QTest::newRow("paste a long line of surrogate pairs") << Edit{1, 0, Qt::Key_V, ctrl, clefs, 0, clefs};
    }
    void editsAtDisplayBreaks()
    {
        QFETCH(Edit, e);
        QString line;
        const int piece = startWithLongLine(&line), blocks = box()->document()->blockCount();
        QGuiApplication::clipboard()->setText(e.clipboard);
        QTextCursor cursor = box()->textCursor();
        cursor.setPosition(piece + e.at);
        cursor.setPosition(piece + e.at + e.selected + (e.at < 0 && e.at + e.selected > 0), QTextCursor::KeepAnchor);
        box()->setTextCursor(cursor);
        press(e.key, e.modifiers);
        const int removed = e.selected ? e.selected : e.inserted.isEmpty();
        QCOMPARE(box()->text(), QString(line).remove(piece + e.change, removed).insert(piece + e.change, e.inserted));
        if (e.selected) // the text cut, without the display break
            QCOMPARE(QGuiApplication::clipboard()->text(), line.mid(piece + e.change, removed));
        for (QTextBlock b = box()->document()->begin(); b.isValid(); b = b.next()) // no piece splits a character
            QVERIFY(b.text().isEmpty() || (!b.text().back().isHighSurrogate() && !b.text().front().isLowSurrogate()));
        QVERIFY(longestPiece() <= 40);
        press(Qt::Key_Z); // brings the line and its pieces back
        QCOMPARE(box()->text(), line);
        QCOMPARE(box()->document()->blockCount(), blocks);
    }

};

QTEST_MAIN(TestFrmTxtKrypt)
#include "tst_frm_txtkrypt.moc"
