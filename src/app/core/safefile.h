#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Steps that keep files whole when the program is killed, when another program saves over a
// file meanwhile, or when a file system lacks a feature (hard links on vfat, O_TMPFILE on
// network file systems). Paths are native bytes.
namespace SafeFile {

// A file as it was when it was opened: enough to tell it from a file saved over its name
// since (another inode) or written to in place (another size or modification time).
struct Identity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;

    bool isValid() const { return size >= 0; }
    // The same file, whatever happened to its content.
    bool sameFile(const Identity &other) const
    {
        return isValid() && other.isValid() && device == other.device && inode == other.inode;
    }
    // The same file with the same content as far as size and modification time tell.
    bool unchanged(const Identity &other) const
    {
        return sameFile(other) && size == other.size && modifiedNs == other.modifiedNs;
    }
};

enum class Removal { Removed, Changed, Failed };

// The file a path names now (links followed); invalid when there is none. Where the system
// has no inode numbers only size and modification time tell files apart.
Identity identityOfPath(const QString &path);

#ifdef Q_OS_UNIX

// Invalid when the file cannot be looked at.
Identity identityOf(int fd);
// Follows symbolic links, as opening the path would.
Identity identityOf(const QByteArray &path);

// Gives the file named `from` the name `to`, never replacing a file that `to` names already:
// 0, or the errno (EEXIST when `to` is taken). `from` must be a name no other program uses
// (a temporary file of ours): without an atomic no-replace rename the fallback links `to`
// first and then removes `from` by name.
int renameNoReplace(const QByteArray &from, const QByteArray &to);

// Removes the name `path` only while it names the file `expected` (same device and inode).
// The name is first renamed aside, atomically, to a hidden name nobody else knows; the check
// looks at that name, so a file saved over `path` at any moment is never removed: it is put
// back under `path`. Changed: `path` named another file (or none) and is left as it is.
Removal removeIfSame(const QByteArray &path, const Identity &expected);

// Forces the names in a folder to the disk. False only when the disk reported an error; a file
// system that cannot sync folders counts as done.
bool syncFolder(const QByteArray &folder);

// A hidden name beside `path` for work in progress, as a mkstemp() template:
// "folder/.name.tarvo-XXXXXX".
QByteArray siblingTemplate(const QByteArray &path);

// Lets tests take the path a file system without these features takes.
namespace Testing {
enum Feature { TmpFile = 1, RenameNoReplace = 2, HardLinks = 4 };
// A combination of Feature values treated as missing; 0 restores the real behaviour.
void pretendMissing(int features);
bool isMissing(Feature feature);
} // namespace Testing

#endif

} // namespace SafeFile
