#pragma once

#include <QString>

// The path helpers every window uses. A hit entry, a search path or a target directory uses
// the platform's separator ("/" here, "\" on Windows).

// The platform's directory separator.
QChar PathSeparator();

// True when the named file exists, is not a directory and its length can be read.
bool FileExists(const QString &sFile);

// True when Path names an existing directory.
bool DirExists(const QString &Path);

// File name of a path without directory, drive and extension; "C:\plaene\4711.dwg" -> "4711".
QString Zerlege(const QString &Pfad);

// Extension of the file name of a path with its dot, or empty; "plan.v2.dwg" -> ".dwg".
QString GetExt(const QString &Pfad);

// Path with exactly one trailing separator appended when it has none.
QString WithTrailingSeparator(const QString &path);

// The target directory until the user stores one: "D:\3d\" on Windows, elsewhere the folder 3d
// in the user's home ("$HOME/3d/"), so that it names a folder of the user's own disk.
QString DefaultTargetDirectory();
