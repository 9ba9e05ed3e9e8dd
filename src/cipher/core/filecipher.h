#pragma once

#include "app/core/safefile.h"

#include <QString>
#include <QtGlobal>

#include <functional>

// Whole-file operations of the file cipher. A ".D0C" file is the plain file with every byte
// XORed with the key string's codes, the key position running on across the whole file; no
// header, same length. The same transformation turns it back.
namespace FileCipher {

// True when the size of the file at path can be read: it exists, is readable and is not a
// directory. An empty file counts as available.
bool FileAvailable(const QString &path);

// Overwrites the whole file with blanks, forces that to disk and deletes the file. False
// when any step fails. A file that its folder would not let be deleted is left untouched;
// a later failure may leave it overwritten.
bool WipeFile(const QString &path);

// WipeFile for the very file that was read: when the path names another file by now (saved
// over it) or the file was written to since (other size or modification time), nothing is
// touched and the result is Changed. The blanks go through the descriptor that was checked,
// and the name is removed only while it still names that file.
SafeFile::Removal WipeFile(const QString &path, const SafeFile::Identity &read);

// True while the path names the file that was read, with the size and modification time it
// had then.
bool IsUnchanged(const QString &path, const SafeFile::Identity &read);

// True when the file's owner may not write it.
bool IsReadOnly(const QString &path);

// Gives the file's owner write permission again.
bool SetNormal(const QString &path);

struct Outcome {
    bool ok = false;
    QString error;   // German message for the user naming the failed file when !ok
    SafeFile::Identity source;   // the source as it was read, when ok
};

// XORs every byte of source with the key string's Windows-1252 codes into target. The
// target is written to a temporary file beside it, flushed to disk and only then renamed
// over target, so on failure an existing target stays as it was, no partial file remains,
// and source is never touched. A source written to while it is read fails, since the result
// could mix old and new content. progress(permille) is called a bounded number of times with
// floor(1000 * n / (S + 1)), n the bytes done and S the source size, so it stays below 1000.
// An empty key is refused.
Outcome Transform(const QString &source, const QString &target, const QString &key,
                  const std::function<void(int permille)> &progress = {});

// floor(1000 * done / (size + 1)), exact for every 64-bit size and at most 999, so a bar
// fed with it never shows "finished" before the work is.
int progressPermille(qint64 done, qint64 size);

} // namespace FileCipher
