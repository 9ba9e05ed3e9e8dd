#pragma once

#include <QPixmap>

// Pictures of the search window, drawn rather than shipped.
namespace Icons {
QPixmap stop(int size);
QPixmap exitDoor(int size);
QPixmap logo(const QSize &size);
} // namespace Icons
