#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// File names on Linux are bytes. Most are UTF-8, but an archive copied from an old server can
// hold names that are not. Such bytes are carried through a QString as lone surrogates
// U+DC80..U+DCFF, so that converting back gives the original bytes and the path still names
// the file.
namespace NativePath {

QString decode(const char *bytes, qsizetype length);
inline QString decode(const QByteArray &bytes) { return decode(bytes.constData(), bytes.size()); }
QByteArray encode(const QString &path);

// The text as a person reads it: the bytes of a name that are no UTF-8 are shown as
// Windows-1252, the 8-bit character set of the Windows servers such names come from
// ("4711-änderung.dwg" rather than one "?" per byte). For display only: a path shown this way
// no longer names its file.
QString display(const QString &text);

// A file URL that names exactly the file's bytes, for handing the file to another program.
QUrl fileUrl(const QString &path);

} // namespace NativePath
