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
    std::string folder; // below the start folder; "" is the start folder itself
    std::atomic<bool> reached{false};
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;

    static std::function<int(const std::string &)> hook(const std::shared_ptr<ListingGate> &gate)
    {
        return [gate](const std::string &path) {
            std::unique_lock<std::mutex> lock(gate->mutex);
            gate->reached = gate->reached || path == gate->folder;
            gate->cv.wait(lock, [&] { return gate->open || path != gate->folder; });
            return 0;
        };
    }
    explicit ListingGate(std::string below) : folder(std::move(below)) {}
    static std::shared_ptr<ListingGate> at(const std::string &folder) { return std::make_shared<ListingGate>(folder); }
    // Lets the listing go, at once or, as a watchdog, when the test has not done so within
    // `limit`: false then.
    bool release(std::chrono::seconds limit = std::chrono::seconds(0))
    {
        std::unique_lock<std::mutex> lock(mutex);
        const bool inTime = cv.wait_for(lock, limit, [this] { return open; });
        open = true;
        cv.notify_all();
        return inTime;
    }
};
