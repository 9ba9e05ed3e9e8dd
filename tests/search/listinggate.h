#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// A folder whose listing blocks until the test lets it go, as on a share that stops answering.
// The finder's beforeOpen hook holds the gate by a shared pointer, because a reader stuck in it
// may outlive the test's frame.
struct ListingGate
{
    std::string folder;     // below the start folder; "" is the start folder itself
    bool onlyFirst = false; // only the first opening of the folder blocks
    std::atomic<bool> reached{false};
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;

    static std::shared_ptr<ListingGate> at(std::string folder, bool onlyFirst = false)
    {
        auto gate = std::make_shared<ListingGate>();
        gate->folder = std::move(folder);
        gate->onlyFirst = onlyFirst;
        return gate;
    }
    static std::function<int(const std::string &)> hook(const std::shared_ptr<ListingGate> &gate)
    {
        return [gate](const std::string &path) {
            if (path == gate->folder && !(gate->onlyFirst && gate->reached.exchange(true))) {
                std::unique_lock<std::mutex> lock(gate->mutex);
                gate->reached = true;
                gate->cv.wait(lock, [&] { return gate->open; });
            }
            return 0;
        };
    }
    void release() { releasedWithin(std::chrono::seconds(0)); }
    // Waits until the test released the gate, at most `limit`, and releases it then in any
    // case: a watchdog. False when the limit had to do it.
    bool releasedWithin(std::chrono::seconds limit)
    {
        std::unique_lock<std::mutex> lock(mutex);
        const bool inTime = cv.wait_for(lock, limit, [this] { return open; });
        open = true;
        cv.notify_all();
        return inTime;
    }
};
