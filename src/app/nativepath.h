#pragma once

#include <QByteArray>
#include <QString>

// File names on Linux are bytes. Most are UTF-8, but an archive copied from an old server can
// hold names that are not. Such bytes are carried through a QString as lone surrogates
// U+DC80..U+DCFF, so that converting back gives the original bytes and the path still names
// the file.
namespace NativePath {

QString decode(const char *bytes, qsizetype length);
inline QString decode(const QByteArray &bytes) { return decode(bytes.constData(), bytes.size()); }
QByteArray encode(const QString &path);

} // namespace NativePath
