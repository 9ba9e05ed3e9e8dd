#pragma once

#include <QString>

// Conversion between a string and hexadecimal text. A string's bytes are its 16-bit code
// units, low byte first. Mode 1 writes a unit of four digits per code unit (byte order from
// HighByteFirst), Mode 0 two digits of the low byte only. Digits are upper case.
namespace modHexDump {

// Separator goes between two units of one line, LineBreak after every UnitsPerLine units
// (never after the last unit). UnitsPerLine below 1 counts as 1. A Mode other than 0 or 1
// gives an empty text.
QString StringToHex(const QString &Source, qint32 Mode, bool HighByteFirst,
                    const QString &Separator, const QString &LineBreak, qint32 UnitsPerLine);

// Never fails: malformed text gives other bytes. Separator and LineBreak are removed first.
// Each pair of characters is one byte, read as leading hex digits of either case up to the
// first other character ("4G" is 4, "ZZ" is 0); a single last character is a byte of its own
// in Mode 1 and ignored in Mode 0. An odd last byte of Mode 1 is dropped. A Mode other than
// 0 or 1 gives an empty string.
QString HexToString(const QString &HexText, qint32 Mode, bool HighByteFirst,
                    const QString &Separator, const QString &LineBreak);

} // namespace modHexDump
