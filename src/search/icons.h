#pragma once

#include <QPixmap>

// Pictures of the search window, drawn rather than shipped.
namespace Icons {
QPixmap stop(int size);
QPixmap exitDoor(int size);
QPixmap logo(const QSize &size);
// The info button: an "i" in a blue disc.
QPixmap info(int size);
// Selected hits into the notes: a list with an arrow into a note sheet.
QPixmap listToNotes(int size);
} // namespace Icons
