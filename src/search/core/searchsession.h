#pragma once

#include "search/core/cfindfile.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One search over a snapshot of the search paths, without any window: it builds the query from
// what the user typed, walks on a worker thread and hands the results over in batches. The
// window takes them with take() at its own pace, so the event loop never has to handle one
// event per hit, and it shows only what the session reports.
class SearchSession
{
public:
    struct Item {
        enum Kind { Hits, PathStarted, PathFinished, Error, Finished };
        Kind kind = Hits;
        QString path;            // PathStarted: the search path as the list shows it
        std::string text;        // Error: the description
        std::string bytes;       // Hits: full paths back to back
        std::vector<uint32_t> ends;
    };

    // What one search walks.
    struct Query {
        struct Path {
            QString shown;      // as the search-path list holds it
            std::string native; // the file system's bytes
        };
        std::vector<Path> paths; // in list order; blank entries are left out
        std::string pattern;     // the typed text followed by "*"
        // True when one path lies inside another, so the same hit can be reported twice.
        bool mayRepeat = false;
    };
    static Query makeQuery(const QStringList &searchPaths, const QString &typedText);

    // stopRequested is the owner's stop flag, read at every StopSearch of the finder.
    explicit SearchSession(const std::atomic<bool> &stopRequested);
    ~SearchSession();
    SearchSession(const SearchSession &) = delete;
    SearchSession &operator=(const SearchSession &) = delete;

    // Ends a running search first. The query is the session's own until the next start.
    void start(Query query);
    // Ends the walk at once, whatever the file system does, and joins the worker. Items not
    // yet taken are dropped.
    void abort();
    // The owner's stop flag was set: a descent the walk waits for is not made, so the stop is
    // answered even while a listing hangs.
    void requestStop() { m_finder.stopDescending(); }
    bool active() const { return m_thread.joinable(); }
    // Waits for the worker after Finished was taken.
    void join();

    std::deque<Item> take();
    // Hands a taken batch back, so its buffers serve the next batch without new memory.
    void recycle(Item &&item);

    // Called on the worker whenever items arrive while none are waiting, so the taker learns
    // of them at once and need not look on its own.
    void setNotify(std::function<void()> notify) { m_notify = std::move(notify); }

    // Tests: called on the worker before each descent, so a test can hold the walk at a
    // known point.
    static void setDescentHook(std::function<void()> hook);
    // Tests: handed to the finder of every later search (cFindFile::beforeOpen).
    static void setOpenHook(std::function<int(const std::string &)> hook);

private:
    void walk();
    void flushHits();
    // Queues an item; with `spare`, also hands out a recycled batch under the same lock.
    void post(Item item, Item *spare = nullptr);

    cFindFile m_finder;
    const std::atomic<bool> &m_stopRequested;
    std::atomic<bool> m_abort{false};
    Query m_query;
    std::thread m_thread;
    std::function<void()> m_notify;

    std::mutex m_mutex;
    std::deque<Item> m_queue;
    std::vector<Item> m_spare;

    // Worker side only.
    Item m_pending;
    std::chrono::steady_clock::time_point m_lastFlush;
};
