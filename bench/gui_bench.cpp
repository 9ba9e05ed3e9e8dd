// End-to-end search through the search window, offscreen: the time until the hit count is
// shown and the longest stall of the event loop while hits arrive; then the memory that a
// million hits take in the hit list.
//
//   gui_bench PATTERN ROOT...              search end to end
//   gui_bench --memory                     a million hits in the hit list
//   gui_bench --interrupt PATTERN ROOT...  a search that hangs in a listing (a share that stops
//                                          answering): how long a new search and closing the
//                                          window keep the event loop busy
//
// PATTERN is typed into the search field (the window appends the star itself).
#include "app/core/settings.h"
#include "app/platform.h"
#include "benchutil.h"
#include "search/form1.h"
#include "search/hitlistmodel.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A control of the window by its name, as the user sees it.
template <typename T>
T *control(QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}


long residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLong() * sysconf(_SC_PAGESIZE);
}

void measureSearch(Form1 *form, const QString &pattern)
{
    StallMeter stalls;

    QElapsedTimer clock;
    bool done = false;
    qint64 elapsed = 0;
    QObject::connect(form, &Form1::searchFinished, [&] {
        elapsed = clock.nsecsElapsed();
        done = true;
    });
    control<QComboBox>(form, "Combo1")->setEditText(pattern);
    stalls.start();
    clock.start();
    control<QPushButton>(form, "Command3")->click();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 longestGap = stalls.stop();
    std::fprintf(stderr, "gui hits %d count %s seconds %.3f longest-stall-ms %lld\n", form->hitModel()->count(),
                 qPrintable(control<QLabel>(form, "Label6")->text()), elapsed / 1e9, static_cast<long long>(longestGap));
}

// Starts a search, waits until its hits stop coming (the walk waits for a listing that does not
// come), then times what the user does next: a new search, then closing the window.
void measureInterrupt(Form1 *form, const QString &pattern)
{
    control<QComboBox>(form, "Combo1")->setEditText(pattern);
    control<QPushButton>(form, "Command3")->click();
    int seen = -1;
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 500) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (form->hitModel()->count() != seen) {
            seen = form->hitModel()->count();
            quiet.restart();
        }
    }
    const bool hanging = form->isSearching();
    QElapsedTimer clock;
    clock.start();
    control<QPushButton>(form, "Command3")->click(); // a new search ends the hanging one first
    const double newSearchMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    form->close();
    const double closeMs = clock.nsecsElapsed() / 1e6;
    std::fprintf(stderr, "interrupt hanging %s hits-before %d new-search-ms %.1f close-ms %.1f\n", hanging ? "yes" : "no", seen,
                 newSearchMs, closeMs);
}

void measureMemory(Form1 *form)
{
    HitListModel *model = form->hitModel();
    model->clear();
    control<QListView>(form, "List1")->show();
    QCoreApplication::processEvents();
    const long before = residentBytes();
    constexpr int kHits = 1000000;
    std::string bytes;
    std::vector<uint32_t> ends;
    for (int i = 0; i < kHits; ++i) {
        // Paths of a realistic archive: about 60 bytes each.
        char buf[128];
        const int n = std::snprintf(buf, sizeof buf, "/srv/archiv/zeichnungen/%03d/%03d/%03d-%03d-%02d.dwg",
                                    i % 1000, (i / 1000) % 1000, i % 997, (i / 7) % 1000, i % 100);
        bytes.append(buf, size_t(n));
        ends.push_back(uint32_t(bytes.size()));
        if (ends.size() == 4096 || i == kHits - 1) {
            model->appendPacked(bytes, ends);
            bytes.clear();
            ends.clear();
            QCoreApplication::processEvents();
        }
    }
    bytes.shrink_to_fit();
    ends.shrink_to_fit();
    QCoreApplication::processEvents();
    const long after = residentBytes();
    std::fprintf(stderr, "memory hits %d bytes-per-hit %.1f (resident %.1f MiB -> %.1f MiB)\n", model->count(),
                 double(after - before) / kHits, before / 1048576.0, after / 1048576.0);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    const bool memoryOnly = args.value(0) == QStringLiteral("--memory");
    const bool interrupt = args.value(0) == QStringLiteral("--interrupt");
    if (memoryOnly || interrupt)
        args.removeFirst();
    if (!memoryOnly && args.size() < 2) {
        std::fprintf(stderr, "usage: gui_bench [--interrupt] PATTERN ROOT... | gui_bench --memory\n");
        return 2;
    }

    QTemporaryDir folder;
    Settings::useFile(folder.filePath(QStringLiteral("settings.ini")));
    Platform::Hooks hooks;
    hooks.programFolder = folder.path();
    hooks.messageBox = [](const Platform::MessageBoxCall &call) {
        std::fprintf(stderr, "message: %s\n", qPrintable(call.text));
        return Platform::Answer::Ok;
    };
    hooks.open = [](const QString &) { return true; };
    Platform::setHooks(hooks);

    QFile paths(folder.filePath(QStringLiteral("suchpfad.txt")));
    if (!paths.open(QIODevice::WriteOnly))
        return 1;
    for (int i = 1; i < args.size(); ++i)
        paths.write(args.at(i).toUtf8() + "\r\n");
    paths.close();

    Form1 *form = Form1::instance();
    form->show();
    QCoreApplication::processEvents();
    if (memoryOnly)
        measureMemory(form);
    else if (interrupt)
        measureInterrupt(form, args.at(0));
    else
        measureSearch(form, args.at(0));
    return 0;
}
