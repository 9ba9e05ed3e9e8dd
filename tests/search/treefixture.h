#pragma once

#include "search/core/cfindfile.h"

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

// Trees for the finder's tests: built from short words, walked, recorded, and removed again.
namespace TreeFixture {

inline std::string bytes(const QString &s)
{
    return QFile::encodeName(s).toStdString();
}

// The order of matches inside one folder is the file system's: sort each run of matches with
// the same base so that tables can state them.
inline QByteArrayList canonical(QByteArrayList events)
{
    const auto base = [](const QByteArray &e) { return e.left(std::max<qsizetype>(e.indexOf('|'), 0)); };
    for (auto i = events.begin(), j = i; i != events.end(); i = j) {
        j = std::find_if(i + 1, events.end(), [&](const QByteArray &e) { return base(*i).isEmpty() || base(e) != base(*i); });
        std::sort(i, j);
    }
    return events;
}

// Events of one walk: "<base below the root>|<name>" per match, "S" for a StopSearch answered
// false and "S!" for one answered true ('y' in answers; answers used up mean false).
struct EventLog
{
    std::string root;
    QByteArray answers;
    QByteArrayList events;
    std::function<void(const QByteArray &)> onEvent; // runs after each event is recorded

    void record(const QByteArray &e)
    {
        events << e;
        if (onEvent)
            onEvent(e);
    }
    void match(const std::string &base, const std::string &name)
    {
        record(QByteArray::fromStdString((base.compare(0, root.size(), root) == 0 ? base.substr(root.size()) : base) + '|' + name));
    }
    bool stop()
    {
        const bool cancel = answers.startsWith('y');
        answers.remove(0, 1);
        record(cancel ? "S!" : "S");
        return cancel;
    }
};

// The finder's walk, recorded.
struct Recorder : EventLog
{
    cFindFile finder;

    explicit Recorder(const std::string &searchRoot, const QByteArray &stopAnswers = {}) : EventLog{searchRoot, stopAnswers, {}, {}}
    {
        finder.MatchFound = [this](const std::string &name, const std::string &base) { match(base, name); };
        finder.StopSearch = [this](bool &cancel) {
            QVERIFY(!cancel);
            cancel = stop();
        };
    }
    QByteArrayList run(const std::string &searchpath, const std::string &pattern)
    {
        finder.sSearchpath(searchpath);
        finder.sFileToFind(pattern);
        finder.sStartSearch();
        return canonical(events);
    }
};

inline void touch(const std::string &path)
{
    close(open(path.c_str(), O_WRONLY | O_CREAT, 0644));
}

// Builds below dir (ending in '/') from words: "a/b" a file, "a/" a folder, "l->t" a link to t.
inline void build(const std::string &dir, const QByteArray &tree)
{
    for (const QByteArray &w : tree.split(' ')) {
        const qsizetype arrow = w.indexOf("->");
        for (qsizetype s = w.indexOf('/'); s > 0 && (arrow < 0 || s < arrow); s = w.indexOf('/', s + 1))
            mkdir((dir + w.left(s).toStdString()).c_str(), 0755);
        if (arrow > 0)
            QVERIFY(symlink(w.mid(arrow + 2).constData(), (dir + w.left(arrow).toStdString()).c_str()) == 0);
        else if (!w.isEmpty() && !w.endsWith('/'))
            touch(dir + w.toStdString());
    }
}

// Names in a folder in the order the file system lists them; only folders with foldersOnly.
inline QByteArrayList listing(const std::string &dir, bool foldersOnly = false)
{
    QByteArrayList names;
    DIR *d = opendir(dir.c_str());
    while (const dirent *e = d ? readdir(d) : nullptr) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0 && (!foldersOnly || e->d_type == DT_DIR))
            names << e->d_name;
    }
    if (d)
        closedir(d);
    return names;
}

inline int openFdCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// Big trees go to memory when possible: tens of thousands of folders take minutes on a slow disk.
inline QString scratchBase()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
}

// Deep trees exceed the path length limit, so they are built and removed by relative steps.
struct InDir
{
    const QString saved = QDir::currentPath();
    explicit InDir(const QString &dir) { QDir::setCurrent(dir); }
    ~InDir() { QDir::setCurrent(saved); }
};

// Makes folder `name` in the current one and below it folders "d" down to level `depth`,
// calls at(level) in each and puts a file `leaf` in the deepest; returns to where it started.
inline bool branch(const char *name, int depth, const char *leaf, const std::function<bool(int)> &at = {}, int level = 1)
{
    if (mkdir(name, 0755) != 0 || chdir(name) != 0)
        return false;
    bool ok = !at || at(level);
    if (ok && level < depth)
        ok = branch("d", depth, leaf, at, level + 1);
    else if (ok && leaf)
        touch(leaf);
    return chdir("..") == 0 && ok;
}

// Empties the current folder by relative steps; also removes names that are not valid UTF-8, which QDir cannot.
inline void emptyHere()
{
    for (const QByteArray &n : listing(".")) {
        if (unlink(n.constData()) != 0 && chdir(n.constData()) == 0) {
            emptyHere();
            if (chdir("..") == 0)
                rmdir(n.constData());
        }
    }
}


// The finder's readers outlive a walk that ended early; descriptors and hooks are theirs until
// they are gone.
inline bool readersGone()
{
    QDeadlineTimer deadline(10000);
    while (cFindFile::readersRunning() > 0 && !deadline.hasExpired())
        QThread::msleep(1);
    return cFindFile::readersRunning() == 0;
}

} // namespace TreeFixture
