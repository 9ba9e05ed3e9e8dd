#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// A folder whose listing blocks until the test lets it go, as on a share that stops answering.
// It goes to the finder as its beforeOpen hook; the hook holds the gate by a shared pointer,
// because a reader stuck in it may outlive the test's frame.
struct ListingGate
{
    std::string folder;       // below the start folder; "" is the start folder itself
    bool onlyFirst = false;   // only the first opening of the folder blocks
    std::atomic<bool> reached{false};

    static std::shared_ptr<ListingGate> at(std::string folder, bool onlyFirst = false)
    {
        auto gate = std::make_shared<ListingGate>();
        gate->folder = std::move(folder);
        gate->onlyFirst = onlyFirst;
        return gate;
    }
    static std::function<int(const std::string &)> hook(const std::shared_ptr<ListingGate> &gate)
    {
        return [gate](const std::string &path) { return gate->pass(path); };
    }

    int pass(const std::string &path)
    {
        if (path != folder || (onlyFirst && reached.exchange(true)))
            return 0;
        std::unique_lock<std::mutex> lock(m_mutex);
        reached = true;
        m_cv.wait(lock, [this] { return m_open; });
        return 0;
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    // Waits until the test released the gate, at most `limit`; releases it then in any case.
    // False when the limit had to do it.
    bool releasedWithin(std::chrono::seconds limit)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool inTime = m_cv.wait_for(lock, limit, [this] { return m_open; });
        m_open = true;
        m_cv.notify_all();
        return inTime;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};
