#pragma once

#include <QPainter>
#include <QPixmap>

#include <functional>

// Pictures of the search window, drawn rather than shipped.
namespace Icons {
// A transparent picture of the size, drawn antialiased by `draw` (given the width and height).
QPixmap paint(const QSize &size, const std::function<void(QPainter &, qreal, qreal)> &draw);
QPixmap stop(int size);
QPixmap exitDoor(int size);
QPixmap logo(const QSize &size);
// The info button: an "i" in a blue disc.
QPixmap info(int size);
// Selected hits into the notes: a list with an arrow into a note sheet.
QPixmap listToNotes(int size);
} // namespace Icons
