#include "helpers/testenv.h"
#include "textcipher/longlinetextedit.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <memory>

// The text box that shows long lines in display pieces, driven by keys: what it holds must be
// the text as typed, whatever pieces the display uses. Cut, copy and paste use the offscreen
// platform's own clipboard.
class TestLongLineTextEdit : public QObject
{
    Q_OBJECT

    std::unique_ptr<LongLineTextEdit> box;

    static QString hexLine(qsizetype size)
    {
        QString line;
        for (qsizetype i = 0; i < size; ++i)
            line += QLatin1Char("0123456789ABCDEF"[(i * 7 + i / 16) % 16]);
        return line;
    }
    QStringList blocks() const
    {
        QStringList list;
        for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next())
            list << b.text();
        return list;
    }
    // A line of about two and a half pieces; returns the document position of the first
    // display break, which is also the text length of the first piece.
    int startWithLongLine(QString *line)
    {
        box->setText(hexLine(100000));
        const int piece = box->document()->begin().length() - 1;
        *line = hexLine(piece * 5 / 2);
        box->setText(*line);
        return piece;
    }
    void placeCursor(int position)
    {
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(position);
        box->setTextCursor(cursor);
    }

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }
    void init()
    {
        box = std::make_unique<LongLineTextEdit>();
        box->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 8));
        box->resize(497, 273);
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        box->setFocus();
    }
    void cleanup() { box.reset(); }

    // The pieces of a hex line fill whole screen lines, so that they look like one wrapped
    // paragraph, and each is short enough to lay out at once.
    void longLineInPiecesOfWholeScreenLines_data()
    {
        QTest::addColumn<bool>("pasted"); // with Ctrl+V over the whole text, or set
        QTest::newRow("set") << false;
        QTest::newRow("pasted") << true;
    }
    void longLineInPiecesOfWholeScreenLines()
    {
        QFETCH(bool, pasted);
        const QString line = hexLine(50000);
        if (pasted) {
            box->setText(QStringLiteral("alt"));
            QGuiApplication::clipboard()->setText(line);
            QTest::keyClick(box.get(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(box.get(), Qt::Key_V, Qt::ControlModifier);
        } else {
            box->setText(line);
        }
        QCOMPARE(box->text(), line);
        const QStringList pieces = blocks();
        QVERIFY2(pieces.size() > 3, qPrintable(QString::number(pieces.size())));
        QCOMPARE(pieces.join(QString()), line);
        const int perLine = int(pieces.first().size()) / LongLineTextEdit::kLinesPerPiece;
        QVERIFY(perLine > 20);
        for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next()) {
            box->document()->documentLayout()->blockBoundingRect(b); // lays the block out
            const QTextLayout *layout = b.layout();
            QVERIFY(layout->lineCount() <= LongLineTextEdit::kLinesPerPiece);
            for (int i = 0; i < layout->lineCount(); ++i) {
                if (b.next().isValid() || i + 1 < layout->lineCount())
                    QCOMPARE(layout->lineAt(i).textLength(), perLine);
            }
        }
    }

    void textKeptAsGiven_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("text"); // line breaks as CR LF
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringLiteral("a\r\nb");
        QTest::newRow("LF, CR and paragraph separator")
            << QStringLiteral("a\nb\rc\u2029d") << QStringLiteral("a\r\nb\r\nc\r\nd");
        QTest::newRow("empty lines") << QStringLiteral("\r\n\r\nx\r\n") << QStringLiteral("\r\n\r\nx\r\n");
        QTest::newRow("no-break space and tab") << QStringLiteral("a\u00a0b\tc") << QStringLiteral("a\u00a0b\tc");
        QString words, clefs;
        for (int i = 0; i < 20000; ++i)
            words += QStringLiteral("Wort%1 ").arg(i % 97);
        clefs += u'x'; // the pairs start at odd offsets, where piece ends fall
        for (int i = 0; i < 30000; ++i)
            clefs += QStringLiteral("\U0001D11E");
        QTest::newRow("long line of words") << words << words;
        QTest::newRow("long line of surrogate pairs") << clefs << clefs;
        QTest::newRow("long lines between short ones")
            << QStringLiteral("kurz\n") + words + QStringLiteral("\n\n") + clefs + QStringLiteral("\nkurz")
            << QStringLiteral("kurz\r\n") + words + QStringLiteral("\r\n\r\n") + clefs + QStringLiteral("\r\nkurz");
    }
    void textKeptAsGiven()
    {
        QFETCH(QString, given);
        QFETCH(QString, text);
        box->setText(given);
        QCOMPARE(box->text(), text);
        // No piece splits a character; a piece of a line of words ends after a blank.
        for (const QString &block : blocks()) {
            QVERIFY(block.isEmpty() || !block.back().isHighSurrogate());
            QVERIFY(block.isEmpty() || !block.front().isLowSurrogate());
            if (block.size() > 1000 && block.startsWith(QStringLiteral("Wort")))
                QVERIFY(block.endsWith(u' '));
        }
        QVERIFY(!box->document()->isUndoAvailable());
    }

    // Keys at and near the first display break; "at" is the cursor's document position
    // counted from that break (0: end of the first piece, 1: start of the second). The result
    // is the line with one character removed or a text inserted at a text offset counted from
    // the break; undo brings the line back.
    void editsAtDisplayBreaks_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<int>("changeAt");
        QTest::addColumn<bool>("removes");
        QTest::addColumn<QString>("inserted");
        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier;
        const QString crlf = QStringLiteral("\r\n");
        QTest::newRow("Enter at the end of a piece") << 0 << int(Qt::Key_Return) << none << QString() << 0 << false << crlf;
        QTest::newRow("Enter at the start of a piece") << 1 << int(Qt::Key_Return) << none << QString() << 0 << false << crlf;
        QTest::newRow("Enter inside a piece") << 6 << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << QString() << 5 << false << crlf;
        QTest::newRow("Backspace at the start of a piece") << 1 << int(Qt::Key_Backspace) << none << QString() << -1 << true << QString();
        QTest::newRow("Backspace inside a piece") << 6 << int(Qt::Key_Backspace) << none << QString() << 4 << true << QString();
        QTest::newRow("Delete at the end of a piece") << 0 << int(Qt::Key_Delete) << none << QString() << 0 << true << QString();
        QTest::newRow("Delete before the end of a piece") << -1 << int(Qt::Key_Delete) << none << QString() << -1 << true << QString();
        QTest::newRow("paste lines into a piece") << 6 << int(Qt::Key_V) << ctrl << QStringLiteral("x\ny\r\nz") << 5 << false << QStringLiteral("x\r\ny\r\nz");
        QTest::newRow("paste lines at the start of a piece") << 1 << int(Qt::Key_V) << ctrl << QStringLiteral("x\n") << 0 << false << QStringLiteral("x\r\n");
        QTest::newRow("typed character") << 1 << int(Qt::Key_A) << none << QString() << 0 << false << QStringLiteral("a");
    }
    void editsAtDisplayBreaks()
    {
        QFETCH(int, at);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, clipboard);
        QFETCH(int, changeAt);
        QFETCH(bool, removes);
        QFETCH(QString, inserted);
        QString line;
        const int piece = startWithLongLine(&line);
        QString expected = line;
        if (removes)
            expected.remove(piece + changeAt, 1);
        expected.insert(piece + changeAt, inserted);
        if (!clipboard.isNull())
            QGuiApplication::clipboard()->setText(clipboard);
        placeCursor(piece + at);
        QTest::keyClick(box.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(box->text(), expected);
        QTest::keyClick(box.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box->text(), line);
    }

    // A selection across display breaks copies and cuts without them; undo restores the pieces.
    void cutAndPasteAcrossDisplayBreaks()
    {
        QString line;
        const int piece = startWithLongLine(&line);
        const int blockCount = box->document()->blockCount();
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(piece - 3);
        cursor.setPosition(2 * piece + 2 + 3, QTextCursor::KeepAnchor); // two breaks inside
        box->setTextCursor(cursor);
        const QString selected = line.mid(piece - 3, piece + 6);
        QTest::keyClick(box.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), selected);
        QTest::keyClick(box.get(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(box->text(), QString(line).remove(piece - 3, piece + 6));
        QTest::keyClick(box.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box->text(), line);
        QCOMPARE(box->document()->blockCount(), blockCount);
        QTest::keyClick(box.get(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(box.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->text(), line + selected);
    }
};

QTEST_MAIN(TestLongLineTextEdit)
#include "tst_longlinetextedit.moc"
