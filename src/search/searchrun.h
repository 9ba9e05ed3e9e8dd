#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class cFindFile;

// One search over all search paths on a worker thread. The walk hands its hits over in
// batches; the window takes them with take() at its own pace, so the event loop never has to
// handle one event per hit.
class SearchRun
{
public:
    struct Item {
        enum Kind { Hits, PathStarted, PathFinished, Error, Finished };
        Kind kind = Hits;
        int index = -1;          // PathStarted/PathFinished: position in the path list
        std::string text;        // PathStarted: the path; Error: the description
        std::string bytes;       // Hits: full paths back to back
        std::vector<uint32_t> ends;
    };

    struct Path {
        int index;
        std::string path; // native bytes
    };

    // stopRequested is the window's stop flag, read at every StopSearch of the finder.
    SearchRun(cFindFile &finder, const std::atomic<bool> &stopRequested);
    ~SearchRun();
    SearchRun(const SearchRun &) = delete;
    SearchRun &operator=(const SearchRun &) = delete;

    void start(std::vector<Path> paths, std::string pattern);
    // Ends the walk as soon as the current directory is listed, and joins the thread. Items
    // not yet taken are dropped.
    void abort();
    bool active() const { return m_thread.joinable(); }
    // Waits for the thread after Finished was taken.
    void join();

    std::deque<Item> take();
    // Hands a taken batch back, so its buffers serve the next batch without new memory.
    void recycle(Item &&item);

    // Called on the worker once the last item is posted, so the taker need not wait for its
    // next turn to finish the search.
    void setFinishedNotify(std::function<void()> notify) { m_notify = std::move(notify); }

    // Tests: called on the worker before each descent, so a test can hold the walk at a
    // known point.
    static void setDescentHook(std::function<void()> hook);

private:
    void walk(std::vector<Path> paths, std::string pattern);
    void flushHits();
    void post(Item item);

    cFindFile &m_finder;
    const std::atomic<bool> &m_stopRequested;
    std::atomic<bool> m_abort{false};
    std::thread m_thread;
    std::function<void()> m_notify;

    std::mutex m_mutex;
    std::deque<Item> m_queue;
    std::vector<Item> m_spare;

    // Worker side only.
    Item m_pending;
    std::chrono::steady_clock::time_point m_lastFlush;
};
