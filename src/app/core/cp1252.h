#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// Windows-1252, the 8-bit character set the ciphers work in. All 256 codes map to distinct
// characters: the five codes Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the control characters of the same number.
namespace Cp1252 {

// The character of a code 0..255.
QChar toUnicode(unsigned char code);

// The code of a character. A character outside Windows-1252 becomes its base letter when
// Unicode decomposition gives one in Windows-1252 ("ā" -> "a"), otherwise '?'.
unsigned char fromUnicode(QChar c);

QString decode(const QByteArray &bytes);
QByteArray encode(const QString &text);

} // namespace Cp1252
