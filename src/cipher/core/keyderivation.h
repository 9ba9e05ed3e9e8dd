#pragma once

#include <QByteArray>
#include <QString>

// The key string of the file cipher, derived from the typed password. Encrypted files carry
// no trace of the key, so every step here is part of the file format: changing any of them
// makes the users' existing ".D0C" files undecryptable.
namespace KeyDerivation {

// length / 2 rounded to the nearest whole number, an exact half going to the even neighbour
// (0, 0, 1, 2, 2, 2, 3, 4, ...).
int halfLength(int length);

// A string as long as s whose byte j is s[j] XOR k[j]; a shorter k is continued by repeating
// itself from its start. An empty k gives an empty result (there is nothing to mix with).
QByteArray XorMix(const QByteArray &s, const QByteArray &k);

// The password's Windows-1252 codes t, m = last h + first h codes of t, x = XorMix(t, m),
// cut before the first code 0, each code as upper-case hex without leading zero, joined.
// An empty result means "no key". A one-character password has an empty mixing string and
// therefore no key either; the prompt refuses it before it gets here.
QString deriveKey(const QString &password);

} // namespace KeyDerivation
