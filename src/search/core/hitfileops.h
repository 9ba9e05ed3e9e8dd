#pragma once

#include "app/core/safefile.h"

#include <QDateTime>
#include <QString>

#include <functional>

struct timespec;

// File operations of the hit actions. Hit paths may carry non-UTF-8 name bytes (see
// NativePath), so these work on the native bytes rather than through QFile.
namespace HitFileOps {

// Copies a regular file's content and, as far as the target's file system allows, its
// permissions and modification time. Never overwrites: fails when the target exists. The
// content is written under a hidden name (or none) in the target folder, forced to the disk
// and only then linked to the target name, so the target name holds a complete copy or
// nothing, even when the program is killed. *read, when given, receives the source as it was
// opened, for removeIfUnchanged().
bool copyNoOverwrite(const QString &source, const QString &target,
                     SafeFile::Identity *read = nullptr);

// Forces the folder's new names to the disk, so that a copy survives a power loss before its
// source is deleted. False when the disk reported an error.
bool syncFolder(const QString &folder);

// Deletes the file only while the path still names the very file a copy read, unchanged
// (same file, size and modification time); a write-protected one too.
// Changed: it was saved over or written to since and stays as it is.
SafeFile::Removal removeIfUnchanged(const QString &path, const SafeFile::Identity &read);

// Last change of the file or directory, invalid when it cannot be read.
QDateTime lastChange(const QString &path);

// Deletes a file, a write-protected one too; never a directory.
bool removeFile(const QString &path);

#ifndef Q_OS_WIN
// Test seam: the calls that carry permissions and times over to a copy. Tests make them fail
// the way vfat, exFAT or CIFS mounts refuse them. Empty members: the real calls.
struct MetadataCalls {
    std::function<int(int fd, unsigned mode)> setMode;
    std::function<int(int fd, const struct timespec *times)> setTimes;
};
void setMetadataCalls(const MetadataCalls &calls);
#endif

} // namespace HitFileOps
