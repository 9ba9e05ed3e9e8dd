#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

// Lists the folders of one walk on reader threads ahead of the walk, in the order the walk will
// enter them (depth-first, pre-order), so that on a network share many listings are in flight
// at once while the walk still reports in its own order. The walk thread itself makes no file
// system call: it only waits for listings, so abort() wakes it at once whatever the file system
// does. A reader stuck in a system call finishes on its own; its result is dropped, and it holds
// the shared state it touches.
namespace ReadAhead {

struct Options {
    // Measured on a share with 1 and 5 ms per request (bench/latency.sh): more requests in
    // flight stop paying off at 64, more listings ahead at 256.
    int readers = 64;               // listing requests in flight at most
    int listingsAhead = 256;        // listings read or being read that the walk has not entered
    size_t bytesAhead = 64u << 20;  // memory of those listings
    int heldFolders = 64;           // folders kept open for their children to be opened from
    bool descend = true;            // false: only the start folder is listed
    // Runs on the walk thread, without the walk's lock, when the walk has waited a while for a
    // listing: what was found so far can be handed on meanwhile.
    std::function<void()> beforeWait;
    // Tests: runs on a reader before a folder is opened, with its path below the start folder;
    // a nonzero result is taken as the errno of opening it. It may block.
    std::function<int(const std::string &)> beforeOpen;
};

// One folder's entries in the file system's order.
struct Listing {
    std::string names;             // each name ended by a NUL
    uint32_t count = 0;
    std::vector<uint32_t> folders; // offsets in names of the subfolders, in listing order
    size_t bytes() const { return names.capacity() + folders.capacity() * sizeof(uint32_t); }
    const char *folder(size_t i) const { return names.data() + folders[i]; }
};

struct Node;
struct Job;
struct Chores;

class Walk : public std::enable_shared_from_this<Walk>
{
public:
    // What the walk gets for a folder: its listing, or why there is none.
    struct Entered {
        Node *node = nullptr;        // null when the walk was aborted
        const Listing *listing = nullptr;
        int error = 0;               // a resource failure; the listing is then empty
        bool stopped = false;        // enter() only: stopDescending() came first
    };

    static std::shared_ptr<Walk> create(std::string start, Options options);
    ~Walk();
    Walk(const Walk &) = delete;
    Walk &operator=(const Walk &) = delete;

    // The walk thread's side, in walk order.
    Entered enterStart();
    // The parent's next subfolder, in listing order. Returns stopped, entering nothing, when
    // stopDescending() comes while it waits for that folder.
    Entered enter(Node *parent);
    // The walk enters no more children of this folder: listings read ahead below are dropped.
    void skipRest(Node *folder);
    void leave(Node *folder);
    // Ends the walk; readers still in a system call finish on their own.
    void finish();

    // Any thread.
    void abort();
    // No further descent of this walk waits for the file system: a stop button must answer
    // even while a listing hangs.
    void stopDescending();
    bool aborted() const { return m_aborted.load(std::memory_order_relaxed); }

    size_t peakAhead() const { return m_peakAhead; }
    static int readersRunning();

private:
    Walk(std::string start, Options options);
    static void readerMain(std::shared_ptr<Walk> self);
    bool pickable() const;
    bool pick(Job &job);
    void run(Job &job);
    void complete(Job &job, Chores &chores);
    void doChores(Chores &chores);
    void settle(Node *node, Chores &chores);
    void wake();
    void drop(Node *node);
    void release(Node *node);
    void closeLater(Node *node);
    void freeNode(Node *node);
    void keepWithin(size_t cap, Chores &chores);
    void spawn();
    bool lowerDescriptorUse(Job &job, size_t held);
    void takeTurnWhenShort(Job &job);
    int openStart() const;
    int reopenParent(const Job &job) const;
    Entered await(Node *node, std::unique_lock<std::mutex> &lock);
    // Waits until ready() or the walk ends; false when it ended (or, with stoppable, was
    // stopped) instead.
    template <typename Ready>
    bool waitFor(std::unique_lock<std::mutex> &lock, bool stoppable, Ready ready);

    struct NeededFirst {
        bool operator()(const Node *a, const Node *b) const;
    };

    const std::string m_start;
    const Options m_options;
    std::atomic<bool> m_aborted{false};
    std::atomic<bool> m_stopDescending{false};

    std::mutex m_mutex;
    std::condition_variable m_readerCv;
    std::condition_variable m_walkCv;
    bool m_finished = false;
    bool m_startPending = false;
    std::atomic<bool> m_lowDescriptors{false}; // set under the lock, read without it too
    size_t m_heldCap;
    bool m_turnTaken = false;
    int m_waitingForTurn = 0;
    Node *m_root = nullptr;
    // Listed folders with children not yet handed to a reader, the one whose next child the
    // walk needs soonest first. Of these, the ones that keep their folder open.
    std::set<Node *, NeededFirst> m_holders;
    std::set<Node *, NeededFirst> m_open;
    std::unordered_set<Node *> m_all;
    Node *m_awaited = nullptr;       // the walk waits for this listing
    Node *m_want = nullptr;          // the walk waits for this folder's next child to be picked
    int m_threads = 0;
    int m_idle = 0;
    int m_active = 0;
    size_t m_ahead = 0;
    size_t m_aheadBytes = 0;
    size_t m_peakAhead = 0;
    unsigned m_recentSlow = 0; // one bit per listing, the latest lowest: took long
    bool m_spawnFailed = false;
    std::vector<int> m_toClose; // closed by a reader, never by the walk thread
};

} // namespace ReadAhead
