// Copies a set of files the way the copy button does (each into a hidden or unnamed file that is
// forced to the disk and then linked to its name) and compares the time with cp of the same
// files, with and without a following sync, in alternating rounds. Usage:
//   copy_bench [folder (default /tmp)] [files (default 20)] [KiB each (default 5120)] [rounds (default 5)]

#include "benchutil.h"
#include "search/core/hitfileops.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>

namespace {



} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString base = args.value(1, QStringLiteral("/tmp"));
    const int files = args.value(2, QStringLiteral("20")).toInt();
    const int kib = args.value(3, QStringLiteral("5120")).toInt();
    const int rounds = args.value(4, QStringLiteral("5")).toInt();

    QDir root(base + QStringLiteral("/tarvo-copy-bench"));
    root.removeRecursively();
    root.mkpath(QStringLiteral("src"));
    QStringList sources;
    const QByteArray block(1024, 'x');
    for (int i = 0; i < files; ++i) {
        QFile f(root.filePath(QStringLiteral("src/plan%1.dwg").arg(i)));
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (int k = 0; k < kib; ++k)
            f.write(block);
        sources << f.fileName();
    }
    run(QStringLiteral("sync"), {});

    QList<double> tarvo, cp, cpSync;
    for (int round = 0; round < rounds; ++round) {
        for (int kind = 0; kind < 3; ++kind) {
            const QString target = root.filePath(QStringLiteral("dst"));
            QDir(target).removeRecursively();
            root.mkpath(QStringLiteral("dst"));
            run(QStringLiteral("sync"), {});
            QElapsedTimer timer;
            timer.start();
            bool ok = true;
            if (kind == 0) {
                for (const QString &s : sources)
                    ok = HitFileOps::copyNoOverwrite(s, target + QLatin1Char('/') + QFileInfo(s).fileName()) && ok;
            } else {
                ok = run(QStringLiteral("cp"), sources + QStringList{target});
                if (kind == 2)
                    ok = run(QStringLiteral("sync"), {QStringLiteral("-f"), target}) && ok;
            }
            const double seconds = timer.nsecsElapsed() / 1e9;
            if (!ok)
                return 2;
            (kind == 0 ? tarvo : kind == 1 ? cp : cpSync) << seconds;
        }
    }
    root.removeRecursively();
    std::printf("%d files of %d KiB, %d rounds (medians)\n", files, kib, rounds);
    std::printf("copy button: %.3f s   cp: %.3f s (ratio %.2f)   cp + sync: %.3f s (ratio %.2f)\n",
                median(tarvo), median(cp), median(tarvo) / median(cp), median(cpSync),
                median(tarvo) / median(cpSync));
    return 0;
}
