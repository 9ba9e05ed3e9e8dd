#include "pathfunctions.h"

#include "nativepath.h"

#include <QDir>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

QChar PathSeparator()
{
#ifdef Q_OS_WIN
    return QLatin1Char('\\');
#else
    return QLatin1Char('/');
#endif
}

QString DefaultTargetDirectory()
{
#ifdef Q_OS_WIN
    return QStringLiteral("D:\\3d\\");
#else
    return QDir(QDir::homePath()).filePath(QStringLiteral("3d")) + QLatin1Char('/');
#endif
}

#ifdef Q_OS_WIN
bool FileExists(const QString &sFile)
{
    const QFileInfo info(sFile);
    return !sFile.isEmpty() && info.exists() && !info.isDir();
}

bool DirExists(const QString &Path)
{
    return !Path.isEmpty() && QFileInfo(Path).isDir();
}
#else
bool FileExists(const QString &sFile)
{
    struct stat st;
    return !sFile.isEmpty() && ::stat(NativePath::encode(sFile).constData(), &st) == 0
        && !S_ISDIR(st.st_mode);
}

bool DirExists(const QString &Path)
{
    struct stat st;
    return !Path.isEmpty() && ::stat(NativePath::encode(Path).constData(), &st) == 0
        && S_ISDIR(st.st_mode);
}
#endif

namespace {

struct NameParts {
    QString name;
    QString ext;
};

NameParts splitName(const QString &Pfad)
{
    QStringView rest(Pfad);
#ifdef Q_OS_WIN
    if (rest.size() >= 2 && rest.at(1) == QLatin1Char(':'))
        rest = rest.mid(2);
#endif
    const QChar sep = PathSeparator();
    // A separator at the very end does not start the name part.
    QStringView namePart = rest;
    for (qsizetype i = rest.size() - 2; i >= 0; --i) {
        if (rest.at(i) == sep) {
            namePart = rest.mid(i + 1);
            break;
        }
    }
    const qsizetype dot = namePart.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {namePart.toString(), QString()};
    if (dot == namePart.size() - 1)
        return {namePart.left(dot).toString(), QString()};
    return {namePart.left(dot).toString(), namePart.mid(dot).toString()};
}

} // namespace

QString Zerlege(const QString &Pfad)
{
    return splitName(Pfad).name;
}

QString GetExt(const QString &Pfad)
{
    return splitName(Pfad).ext;
}

QString WithTrailingSeparator(const QString &path)
{
    if (path.endsWith(PathSeparator()))
        return path;
    return path + PathSeparator();
}
