#include "longlinetextedit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextLayout>

namespace {

// Block property: the line break before this block is a display break only.
constexpr int kDisplayBreak = QTextFormat::UserProperty + 1;

bool isDisplayBreak(const QTextBlock &block)
{
    return block.isValid() && block.blockFormat().boolProperty(kDisplayBreak);
}

QTextBlockFormat withDisplayBreak(QTextBlockFormat format, bool displayBreak)
{
    if (displayBreak)
        format.setProperty(kDisplayBreak, true);
    else
        format.clearProperty(kDisplayBreak);
    return format;
}

// The characters the document takes as line breaks when text is inserted ("\r\n" is one).
bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xFDD0)
        || c == QChar(0xFDD1);
}

// Where the display piece that starts at from ends, in the line that ends at end: after at most
// piece characters, after a blank in the piece's second half when there is one, and never
// between the halves of a surrogate pair.
qsizetype pieceEnd(QStringView text, qsizetype from, qsizetype end, qsizetype piece)
{
    if (end - from <= piece)
        return end;
    qsizetype to = from + piece;
    for (qsizetype i = to - 1; i > from + piece / 2; --i) {
        if (text.at(i) == u' ')
            return i + 1;
    }
    if (text.at(to - 1).isHighSurrogate() && text.at(to).isLowSurrogate())
        --to;
    return to;
}

// The edits whose plain form would go wrong at a display break. A typed line break must be a
// real one even inside a piece (the new block would take the piece's mark); Backspace after and
// Delete before a display break remove the character beyond it, as in one unbroken line.
// Returns false for any other key.
bool editAtDisplayBreak(QTextCursor &cursor, const QKeyEvent *event)
{
    // Shift+Enter too: a line separator would not survive the 8-bit cipher.
    if (event->matches(QKeySequence::InsertParagraphSeparator)
        || event->matches(QKeySequence::InsertLineSeparator)) {
        cursor.insertBlock(withDisplayBreak(cursor.blockFormat(), false));
        return true;
    }
    if (cursor.hasSelection())
        return false;
    if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier
        && cursor.atBlockStart() && isDisplayBreak(cursor.block())) {
        cursor.movePosition(QTextCursor::PreviousCharacter);
        cursor.deletePreviousChar();
        return true;
    }
    if (event->matches(QKeySequence::Delete) && cursor.atBlockEnd()
        && isDisplayBreak(cursor.block().next())) {
        cursor.movePosition(QTextCursor::NextCharacter);
        cursor.deleteChar();
        return true;
    }
    return false;
}

} // namespace

LongLineTextEdit::LongLineTextEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
}

QString LongLineTextEdit::text() const
{
    return textBetween(0, document()->characterCount() - 1, u"\r\n");
}

void LongLineTextEdit::setText(const QString &text)
{
    // Undo off and on again empties the history, as setPlainText() does.
    document()->setUndoRedoEnabled(false);
    clear();
    QTextCursor cursor(document());
    insertPieces(cursor, text);
    document()->setUndoRedoEnabled(true);
    moveCursor(QTextCursor::Start);
}

void LongLineTextEdit::insertPieces(QTextCursor &cursor, QStringView text) const
{
    // The blocks to insert, each with the kind of break before it; the first continues the
    // cursor's block. Consecutive blocks of one kind go in with one insertText() call, since
    // the blocks it makes take the format of the block they start in.
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const qsizetype piece = pieceLength();
    const QTextBlockFormat base = cursor.blockFormat();
    QString run;
    bool runBreak = base.boolProperty(kDisplayBreak); // the kind of the blocks in run
    bool first = true;
    const auto add = [&](QStringView block, bool displayBreak) {
        if (first) {
            first = false;
        } else if (displayBreak != runBreak) {
            cursor.insertText(run);
            run.clear();
            cursor.insertBlock(withDisplayBreak(base, displayBreak));
            runBreak = displayBreak;
        } else {
            run += QChar::ParagraphSeparator;
        }
        run += block;
    };

    for (qsizetype start = 0;;) {
        qsizetype end = start;
        while (end < text.size() && !isLineBreak(text.at(end)))
            ++end;
        qsizetype from = start;
        do { // an empty line is a block, too
            const qsizetype to = pieceEnd(text, from, end, piece);
            add(text.mid(from, to - from), from != start);
            from = to;
        } while (from < end);
        if (end == text.size())
            break;
        const bool crlf =
            text.at(end) == u'\r' && end + 1 < text.size() && text.at(end + 1) == u'\n';
        start = end + (crlf ? 2 : 1);
    }
    cursor.insertText(run);
    cursor.endEditBlock();
}

QString LongLineTextEdit::textBetween(int from, int to, QStringView lineBreak) const
{
    QString text;
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        const int position = block.position();
        if (position > from && !isDisplayBreak(block))
            text += lineBreak;
        const int begin = qMax(from, position) - position;
        const int end = qMin(to, position + block.length() - 1) - position;
        text += QStringView(block.text()).mid(begin, qMax(0, end - begin));
    }
    return text;
}

qsizetype LongLineTextEdit::pieceLength() const
{
    // Lay out a line of hex digits the way the box will and count what fits on it.
    const qreal width = viewport()->width() - 2 * document()->documentMargin();
    QString digits;
    for (int i = 0; i < 64; ++i)
        digits += QStringLiteral("0123456789ABCDEF");
    QTextLayout probe(digits, font());
    probe.setTextOption(document()->defaultTextOption());
    probe.beginLayout();
    QTextLine line = probe.createLine();
    line.setLineWidth(qMax<qreal>(width, 1));
    probe.endLayout();
    return qMax(16, line.textLength()) * qsizetype(kLinesPerPiece);
}

void LongLineTextEdit::keyPressEvent(QKeyEvent *event)
{
    QTextCursor cursor = textCursor();
    if (isReadOnly() || !editAtDisplayBreak(cursor, event)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    setTextCursor(cursor);
    ensureCursorVisible();
    event->accept();
}

void LongLineTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly() || !source->hasText())
        return;
    QTextCursor cursor = textCursor();
    insertPieces(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData *LongLineTextEdit::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    auto *mime = new QMimeData;
    mime->setText(textBetween(cursor.selectionStart(), cursor.selectionEnd(), u"\n"));
    return mime;
}
