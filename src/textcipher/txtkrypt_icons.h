#pragma once

#include <QPixmap>

// Pictures of the text cipher window's picture buttons, drawn at the given edge length.
namespace TxtKryptIcons {

QPixmap copy(int size);
QPixmap paste(int size);
QPixmap clear(int size);
QPixmap exit(int size);

} // namespace TxtKryptIcons
