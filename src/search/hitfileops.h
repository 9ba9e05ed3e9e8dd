#pragma once

#include <QDateTime>
#include <QString>

// File operations of the hit actions. Hit paths may carry non-UTF-8 name bytes (see
// NativePath), so these work on the native bytes rather than through QFile.
namespace HitFileOps {

// Copies a regular file's content, permissions and modification time. Never overwrites:
// fails when the target exists. A partly written target is removed again.
bool copyNoOverwrite(const QString &source, const QString &target);

// Size of a regular file, or -1 when there is none at the path.
qint64 fileSize(const QString &path);

// Last change of the file or directory, invalid when it cannot be read.
QDateTime lastChange(const QString &path);

// Lets the owner write the file again, so that a read-only file can be deleted.
bool makeWritable(const QString &path);

// Deletes a file; never a directory.
bool removeFile(const QString &path);

} // namespace HitFileOps
