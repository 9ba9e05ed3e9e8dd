#include "searchrun.h"

#include "cfindfile.h"

namespace {
constexpr size_t kBatchHits = 4096;
constexpr auto kBatchAge = std::chrono::milliseconds(15);

std::function<void()> &descentHook()
{
    static std::function<void()> hook;
    return hook;
}
} // namespace

void SearchRun::setDescentHook(std::function<void()> hook)
{
    descentHook() = std::move(hook);
}

SearchRun::SearchRun(cFindFile &finder, const std::atomic<bool> &stopRequested)
    : m_finder(finder)
    , m_stopRequested(stopRequested)
{
}

SearchRun::~SearchRun()
{
    abort();
}

void SearchRun::start(std::vector<Path> paths, std::string pattern)
{
    abort();
    m_abort = false;
    m_thread = std::thread(&SearchRun::walk, this, std::move(paths), std::move(pattern));
}

void SearchRun::abort()
{
    m_abort = true;
    join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.clear();
}

void SearchRun::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

std::deque<SearchRun::Item> SearchRun::take()
{
    std::deque<Item> items;
    std::lock_guard<std::mutex> lock(m_mutex);
    items.swap(m_queue);
    return items;
}

void SearchRun::post(Item item)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(std::move(item));
}

void SearchRun::recycle(Item &&item)
{
    item.bytes.clear();
    item.ends.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_spare.size() < 4)
        m_spare.push_back(std::move(item));
}

void SearchRun::flushHits()
{
    m_lastFlush = std::chrono::steady_clock::now();
    if (m_pending.ends.empty())
        return;
    Item next;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_spare.empty()) {
            next = std::move(m_spare.back());
            m_spare.pop_back();
        }
        m_pending.kind = Item::Hits;
        m_queue.push_back(std::move(m_pending));
    }
    m_pending = std::move(next);
}

void SearchRun::walk(std::vector<Path> paths, std::string pattern)
{
    m_pending = Item();
    m_lastFlush = std::chrono::steady_clock::now();
    // The clock is read only every few hits: a hit costs less than reading it.
    const auto due = [this] {
        const size_t n = m_pending.ends.size();
        return n >= kBatchHits
            || (n > 0 && n % 64 == 0 && std::chrono::steady_clock::now() - m_lastFlush >= kBatchAge);
    };
    const auto aged = [this] {
        return !m_pending.ends.empty() && std::chrono::steady_clock::now() - m_lastFlush >= kBatchAge;
    };
    m_finder.MatchFound = [&](const std::string &name, const std::string &base) {
        if (m_pending.ends.empty()) {
            m_pending.bytes.reserve(kBatchHits * 64);
            m_pending.ends.reserve(kBatchHits);
        }
        m_pending.bytes.append(base).append(name);
        m_pending.ends.push_back(uint32_t(m_pending.bytes.size()));
        if (due())
            flushHits();
    };
    const std::function<void()> hook = descentHook();
    m_finder.StopSearch = [&](bool &cancel) {
        if (hook)
            hook();
        if (m_stopRequested || m_abort)
            cancel = true;
        if (aged())
            flushHits();
    };

    for (Path &p : paths) {
        if (m_abort)
            break;
        Item started;
        started.kind = Item::PathStarted;
        started.index = p.index;
        started.text = p.path;
        post(std::move(started));
        try {
            m_finder.sFileToFind(pattern);
            m_finder.sSearchpath(p.path);
            m_finder.sStartSearch();
        } catch (const std::exception &e) {
            flushHits();
            Item error;
            error.kind = Item::Error;
            error.text = e.what();
            post(std::move(error));
        }
        flushHits();
        Item finished;
        finished.kind = Item::PathFinished;
        finished.index = p.index;
        post(std::move(finished));
    }
    m_finder.MatchFound = nullptr;
    m_finder.StopSearch = nullptr;
    Item done;
    done.kind = Item::Finished;
    post(std::move(done));
    if (m_notify)
        m_notify();
}
