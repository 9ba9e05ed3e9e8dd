#include "searchsession.h"

#include "app/core/nativepath.h"
#include "app/core/pathfunctions.h"

namespace {
constexpr size_t kBatchHits = 4096;
constexpr auto kBatchAge = std::chrono::milliseconds(15);

std::function<void()> &descentHook()
{
    static std::function<void()> hook;
    return hook;
}

std::function<int(const std::string &)> &openHook()
{
    static std::function<int(const std::string &)> hook;
    return hook;
}

// The same hit text can only be reported twice when one search path's base (the path with
// one trailing separator) begins with another's: every hit text begins with its path's base.
bool mayOverlap(const std::vector<SearchSession::Query::Path> &paths)
{
    const char sep = char(PathSeparator().unicode());
    std::vector<std::string> bases;
    for (const SearchSession::Query::Path &p : paths) {
        std::string base = p.native;
        while (!base.empty() && base.back() == sep)
            base.pop_back();
        base += sep;
        bases.push_back(std::move(base));
    }
    for (size_t i = 0; i < bases.size(); ++i) {
        for (size_t j = 0; j < bases.size(); ++j) {
            if (i != j && bases[j].compare(0, bases[i].size(), bases[i]) == 0)
                return true;
        }
    }
    return false;
}
} // namespace

SearchSession::Query SearchSession::makeQuery(const QStringList &searchPaths, const QString &typedText)
{
    Query query;
    for (const QString &entry : searchPaths) {
        // A blank line would otherwise make every search walk the whole file system.
        if (entry.trimmed().isEmpty())
            continue;
        query.paths.push_back({entry, NativePath::encode(entry).toStdString()});
    }
    query.mayRepeat = mayOverlap(query.paths);
    // Encoded like the names, so text pasted from a hit whose name is not UTF-8 still matches.
    query.pattern = NativePath::encode(typedText + QLatin1Char('*')).toStdString();
    return query;
}

void SearchSession::setDescentHook(std::function<void()> hook)
{
    descentHook() = std::move(hook);
}

void SearchSession::setOpenHook(std::function<int(const std::string &)> hook)
{
    openHook() = std::move(hook);
}

SearchSession::SearchSession(const std::atomic<bool> &stopRequested)
    : m_stopRequested(stopRequested)
{
}

SearchSession::~SearchSession()
{
    abort();
}

void SearchSession::start(Query query)
{
    abort();
    m_abort = false;
    m_finder.clearAbort();
    m_finder.beforeOpen = openHook();
    m_query = std::move(query);
    m_thread = std::thread(&SearchSession::walk, this);
}

void SearchSession::abort()
{
    // The finder answers at once, also while a listing hangs in the file system.
    m_abort = true;
    m_finder.abort();
    join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.clear();
}

void SearchSession::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

std::deque<SearchSession::Item> SearchSession::take()
{
    std::deque<Item> items;
    std::lock_guard<std::mutex> lock(m_mutex);
    items.swap(m_queue);
    return items;
}

void SearchSession::post(Item item, Item *spare)
{
    bool first;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (spare && !m_spare.empty()) {
            *spare = std::move(m_spare.back());
            m_spare.pop_back();
        }
        first = m_queue.empty();
        m_queue.push_back(std::move(item));
    }
    if (first && m_notify)
        m_notify();
}

void SearchSession::recycle(Item &&item)
{
    item.bytes.clear();
    item.ends.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_spare.size() < 4)
        m_spare.push_back(std::move(item));
}

void SearchSession::flushHits()
{
    m_lastFlush = std::chrono::steady_clock::now();
    if (m_pending.ends.empty())
        return;
    Item next;
    m_pending.kind = Item::Hits;
    post(std::move(m_pending), &next);
    m_pending = std::move(next);
}

void SearchSession::walk()
{
    m_pending = Item();
    m_lastFlush = std::chrono::steady_clock::now();
    // The clock is read only every few hits: a hit costs less than reading it.
    const auto aged = [this] {
        return !m_pending.ends.empty() && std::chrono::steady_clock::now() - m_lastFlush >= kBatchAge;
    };
    const auto due = [&] {
        const size_t n = m_pending.ends.size();
        return n >= kBatchHits || (n % 64 == 0 && aged());
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
        if (hook) {
            flushHits(); // a test holding the walk here sees every hit reported so far
            hook();
        }
        if (m_stopRequested)
            cancel = true;
        if (aged())
            flushHits();
    };

    // Hits found before a wait for the file system are shown while it lasts.
    m_finder.Waiting = [this] { flushHits(); };

    for (const Query::Path &p : m_query.paths) {
        if (m_abort)
            break;
        Item started;
        started.kind = Item::PathStarted;
        started.path = p.shown;
        post(std::move(started));
        try {
            m_finder.sFileToFind(m_query.pattern);
            m_finder.sSearchpath(p.native);
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
        post(std::move(finished));
    }
    m_finder.MatchFound = nullptr;
    m_finder.StopSearch = nullptr;
    m_finder.Waiting = nullptr;
    Item done;
    done.kind = Item::Finished;
    post(std::move(done));
}
