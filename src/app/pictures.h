#pragma once

#include <QPixmap>
#include <QSize>

#include <functional>

class QPainter;

// Every picture of the program, drawn rather than shipped, at the size it is shown and sharp
// on screens that scale.
namespace Pictures {

// A transparent picture of the size in logical pixels, drawn antialiased by `draw`, which is
// given the width and height to draw into.
QPixmap paint(const QSize &size, const std::function<void(QPainter &, qreal w, qreal h)> &draw);
// The same, drawn on a grid of grid x grid units stretched over the size.
QPixmap paintOnGrid(const QSize &size, qreal grid, const std::function<void(QPainter &)> &draw);

// Search window.
QPixmap stop(const QSize &size);
QPixmap exitDoor(const QSize &size);
QPixmap logo(const QSize &size);
// The info button: an "i" in a blue disc.
QPixmap info(const QSize &size);
// Selected hits into the notes: a list with an arrow into a note sheet.
QPixmap listToNotes(const QSize &size);

// Info window decorations: a stack of drawing sheets, an envelope, a drawing board.
QPixmap sheets(const QSize &size);
QPixmap envelope(const QSize &size);
QPixmap drawingBoard(const QSize &size);

// File cipher: a sheet with a closed or an open padlock; the prompt's confirm and cancel.
QPixmap encryptFile(const QSize &size);
QPixmap decryptFile(const QSize &size);
QPixmap confirm(const QSize &size);
QPixmap cancel(const QSize &size);

// Text cipher picture buttons.
QPixmap copy(const QSize &size);
QPixmap paste(const QSize &size);
QPixmap clear(const QSize &size);
QPixmap exit(const QSize &size);

} // namespace Pictures
