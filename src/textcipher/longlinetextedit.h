#pragma once

#include <QPlainTextEdit>

class QMimeData;

// A plain-text box that stays quick with very long lines, such as the million-digit single line
// of hex text the text cipher produces. Qt lays out and re-lays out a paragraph as a whole, and
// wrapping one without break opportunities costs time in the square of its length; so a long
// line is shown as pieces of a few screen lines each, separated by display breaks. A display
// break is part of the document (the piece's block carries a mark) but not of the text: text()
// leaves it out, copying a selection leaves it out, Enter and pasting make real line breaks,
// Backspace and Delete at a display break remove the character beyond it, and undo restores the
// marks with the blocks.
class LongLineTextEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LongLineTextEdit(QWidget *parent = nullptr);

    // The text, its line breaks as CR LF, without display breaks.
    QString text() const;
    // Replaces the text and clears the undo history; CR LF, LF, CR and U+2029 each make a
    // line break.
    void setText(const QString &text);

    // Screen lines in one display piece of a long line.
    static constexpr int kLinesPerPiece = 16;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    // Inserts text at the cursor, each long line in display pieces.
    void insertPieces(QTextCursor &cursor, QStringView text) const;
    // The text between two document positions, line breaks as lineBreak.
    QString textBetween(int from, int to, QStringView lineBreak) const;
    // Characters of a display piece: whole screen lines of hex digits at the box's font and
    // width, so that the pieces of a hex line look like one wrapped paragraph.
    qsizetype pieceLength() const;
};
