#include "search/core/readahead.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <system_error>
#include <thread>

namespace ReadAhead {

namespace {

// Folders kept open when descriptors ran out: a few, then only the one needed next; and how
// often a reader tries again while that frees descriptors.
constexpr size_t kHeldWhenShort = 2;
constexpr int kRetriesWhenShort = 8;
// Readers started as soon as there is work.
constexpr int kEagerReaders = 2;
// A listing that takes longer went over a network (or a very large folder): more readers help.
constexpr auto kSlowListing = std::chrono::microseconds(300);
// A wait for a listing this long is worth telling the owner of.
constexpr auto kLongWait = std::chrono::milliseconds(10);

std::atomic<int> g_readersRunning{0};

bool isDotOrDotDot(const char *n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

int openChild(int parentFd, const char *name)
{
    int fd;
    do {
        // No trailing separator on name: it would make O_NOFOLLOW follow a symlink.
        fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Adds one entry to a listing; folders are told by the entry's type, or by a look at the entry
// itself when the file system does not give the type.
void addEntry(int fd, const char *name, unsigned char type, bool descend, Listing &l)
{
    if (isDotOrDotDot(name))
        return;
    const size_t len = strlen(name);
    if (descend) {
        bool isDir = type == DT_DIR;
        if (type == DT_UNKNOWN) {
            struct stat sb;
            isDir = fstatat(fd, name, &sb, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(sb.st_mode);
        }
        if (isDir)
            l.folders.push_back(uint32_t(l.names.size()));
    }
    l.names.append(name, len + 1);
    ++l.count;
}

// Reads every entry of the open folder fd into l; the descriptor stays open and usable for
// opening children. Returns 0 or the errno that ended the listing early.
int readEntries(int fd, bool descend, Listing &l)
{
#ifdef __linux__
    // Straight from the kernel into one buffer per reader: no allocation per folder, and the
    // descriptor itself is what stays open for the children.
    constexpr size_t kBuffer = 64 * 1024;
    thread_local std::unique_ptr<char[]> buffer(new char[kBuffer]);
    for (;;) {
        const ssize_t n = getdents64(fd, buffer.get(), kBuffer);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // A folder removed while it is read ends like an empty one.
            return errno == ENOENT ? 0 : errno;
        }
        for (ssize_t at = 0; at < n;) {
            const auto *e = reinterpret_cast<const dirent64 *>(buffer.get() + at);
            addEntry(fd, e->d_name, e->d_type, descend, l);
            at += e->d_reclen;
        }
    }
#else
    // A second descriptor for the stream, which closes it; fd stays open.
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR *dir = copy >= 0 ? fdopendir(copy) : nullptr;
    if (!dir) {
        const int error = errno;
        if (copy >= 0)
            close(copy);
        return error;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent *e = readdir(dir);
        if (!e) {
            error = errno;
            break;
        }
        addEntry(fd, e->d_name, e->d_type, descend, l);
    }
    closedir(dir);
    return error;
#endif
}

void closeAll(const std::vector<int> &fds)
{
    for (int fd : fds)
        close(fd);
}

// True for failures that mean the walk cannot go on (out of descriptors or memory), as opposed
// to a folder that cannot be read (no access, gone, not a folder), which yields nothing.
bool isResourceFailure(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOMEM || error == ENOBUFS || error == EAGAIN;
}

} // namespace

// One folder of the walk. Guarded by the walk's mutex, except what a reader fills in before it
// publishes the listing.
struct Node {
    Node *parent = nullptr;
    uint32_t index = 0; // among the parent's subfolders
    uint32_t depth = 0;
    std::string name;   // the start folder: its path
    bool listed = false;
    int error = 0;
    Listing listing;
    uint32_t picked = 0;        // children handed to readers so far
    std::deque<Node *> waiting; // of those, the ones the walk has not entered, in order
    int fd = -1;                // kept open while children remain to be opened from it
    int users = 0;              // readers opening a child from fd
    dev_t dev = 0;              // identity, to check a folder opened again by name
    ino_t ino = 0;
    bool identified = false;
    bool identifying = false;
    bool unidentifiable = false; // fstat failed: it keeps its descriptor rather than be lost
    bool live = true;           // neither left by the walk nor dropped
    bool entered = false;
    bool holding = false;       // in m_holders
    int refs = 1;               // the tree's own, each child's and each reader's
};

// What a reader does for one folder. Filled under the lock, run without it.
struct Job {
    Node *node = nullptr;
    std::string hookPath;
    Node *from = nullptr;            // whose descriptor the folder is opened from (users held)
    int fromFd = -1;
    std::vector<std::string> route;  // from `from` down to the parent, when the parent gave its
    dev_t parentDev = 0;             // descriptor up and is opened again by name
    ino_t parentIno = 0;
    bool parentIdentified = false;
    bool hasTurn = false;            // the one reader at work while descriptors are short

    int reopened = -1;
    int keptFd = -1;
    int error = 0;
    Listing listing;
};

// What a reader does after it let go of the lock: descriptors to close, and folders to look
// at once before they give their descriptor up (pinned meanwhile).
struct Chores {
    std::vector<int> close;
    std::vector<std::pair<Node *, int>> identify;
};

bool Walk::NeededFirst::operator()(const Node *a, const Node *b) const
{
    // A folder's remaining children are needed after those of folders inside it and before
    // those of folders that come later in the walk.
    if (a == b)
        return false;
    const Node *x = a;
    const Node *y = b;
    while (x->depth > y->depth)
        x = x->parent;
    while (y->depth > x->depth)
        y = y->parent;
    if (x == y)
        return a->depth > b->depth;
    while (x->parent != y->parent) {
        x = x->parent;
        y = y->parent;
    }
    return x->index < y->index;
}

std::shared_ptr<Walk> Walk::create(std::string start, Options options)
{
    return std::shared_ptr<Walk>(new Walk(std::move(start), std::move(options)));
}

Walk::Walk(std::string start, Options options)
    : m_start(std::move(start))
    , m_options(std::move(options))
    , m_heldCap(size_t(std::max(0, m_options.heldFolders)))
{
}

Walk::~Walk()
{
    for (Node *n : m_all) {
        if (n->fd >= 0)
            close(n->fd);
        delete n;
    }
    closeAll(m_toClose);
}

int Walk::readersRunning()
{
    return g_readersRunning.load();
}

void Walk::abort()
{
    m_aborted = true;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_walkCv.notify_all();
    m_readerCv.notify_all();
}

void Walk::stopDescending()
{
    m_stopDescending = true;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_walkCv.notify_all();
}

void Walk::spawn()
{
    ++m_threads;
    ++g_readersRunning;
    try {
        std::thread(&Walk::readerMain, shared_from_this()).detach();
    } catch (const std::system_error &) {
        --m_threads;
        --g_readersRunning;
        if (m_threads == 0) {
            m_spawnFailed = true;
            m_walkCv.notify_all();
        }
    }
}

bool Walk::pickable() const
{
    if (m_finished || m_aborted)
        return false;
    if (m_startPending)
        return true;
    if (m_holders.empty() || (m_lowDescriptors && m_active > 0))
        return false;
    const Node *next = *m_holders.begin();
    // The folder the walk waits for is always read, whatever is held ahead.
    return next == m_want
        || (m_ahead < size_t(m_options.listingsAhead) && m_aheadBytes < m_options.bytesAhead);
}

void Walk::wake()
{
    if (m_toClose.empty() && !pickable())
        return;
    if (m_idle > 0) {
        // While descriptors are short, readers waiting for their turn share the condition.
        if (m_lowDescriptors)
            m_readerCv.notify_all();
        else
            m_readerCv.notify_one();
        return;
    }
    // A few readers keep up with a local disk, where more only cost switching; further ones
    // start while the walk waits and listings take long, that is on a distant file system.
    const bool walkWaits = m_want || (m_awaited && !m_awaited->listed);
    const bool slow = __builtin_popcount(m_recentSlow & 0xFFu) >= 4;
    if (m_threads < std::max(1, m_options.readers) && (m_threads < kEagerReaders || (walkWaits && slow)))
        spawn();
}

bool Walk::pick(Job &job)
{
    if (!pickable())
        return false;
    if (m_startPending) {
        m_startPending = false;
        job.node = m_root;
        ++m_root->refs;
        return true;
    }
    Node *parent = *m_holders.begin();
    const uint32_t i = parent->picked++;
    if (parent->picked == parent->listing.folders.size()) {
        m_holders.erase(parent);
        m_open.erase(parent);
        parent->holding = false;
    }
    Node *child = new Node;
    m_all.insert(child);
    child->parent = parent;
    child->index = i;
    child->depth = parent->depth + 1;
    child->name = parent->listing.folder(i);
    ++child->refs; // the reader's
    ++parent->refs;
    parent->waiting.push_back(child);
    if (parent == m_want) {
        m_want = nullptr;
        m_walkCv.notify_one();
    }
    m_peakAhead = std::max(m_peakAhead, ++m_ahead);
    job.node = child;

    if (parent->fd >= 0) {
        job.from = parent;
        job.fromFd = parent->fd;
    } else {
        // The parent gave its descriptor up: open it again by name from the nearest folder
        // above that still has one (the start folder keeps its own to the end).
        Node *a = parent;
        while (a->fd < 0 && a->parent)
            a = a->parent;
        for (const Node *n = parent; n != a; n = n->parent)
            job.route.push_back(n->name);
        std::reverse(job.route.begin(), job.route.end());
        job.from = a;
        job.fromFd = a->fd;
        job.parentDev = parent->dev;
        job.parentIno = parent->ino;
        job.parentIdentified = parent->identified;
    }
    ++job.from->users;
    if (m_options.beforeOpen) {
        for (const Node *n = child; n->parent; n = n->parent)
            job.hookPath.insert(0, n->parent->parent ? "/" + n->name : n->name);
    }
    return true;
}

void Walk::run(Job &job)
{
    const Node *node = job.node;
    if (m_options.beforeOpen) {
        if (const int injected = m_options.beforeOpen(job.hookPath)) {
            job.error = injected;
            return;
        }
    }
    int fd = -1;
    for (int attempt = 0;; ++attempt) {
        takeTurnWhenShort(job);
        if (!job.from) {
            fd = openStart();
        } else if (job.route.empty()) {
            fd = openChild(job.fromFd, node->name.c_str());
        } else {
            if (job.reopened < 0)
                job.reopened = reopenParent(job);
            fd = job.reopened >= 0 ? openChild(job.reopened, node->name.c_str()) : -1;
        }
        if (fd >= 0)
            break;
        const int error = errno;
        // Out of descriptors: read one folder at a time and keep fewer folders open, at last
        // only the one needed next. Only when even that fails is it a failure of the walk.
        if ((error == EMFILE || error == ENFILE) && attempt < kRetriesWhenShort
            && lowerDescriptorUse(job, attempt == 0 ? kHeldWhenShort : 1))
            continue;
        job.error = error;
        return;
    }

    Listing &l = job.listing;
    try {
        const int error = readEntries(fd, m_options.descend, l);
        if (isResourceFailure(error))
            job.error = error;
    } catch (const std::bad_alloc &) {
        job.error = ENOMEM;
    }
    if (!job.error && !l.folders.empty()) {
        job.keptFd = fd; // its children are opened from here
    } else {
        close(fd);
    }
    if (job.error)
        job.listing = Listing();
}

int Walk::openStart() const
{
    int fd;
    do {
        fd = open(m_start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int Walk::reopenParent(const Job &job) const
{
    // From the nearest folder above that kept its descriptor (the start folder keeps its own).
    int at = job.fromFd;
    for (const std::string &component : job.route) {
        if (at < 0)
            break;
        const int next = openChild(at, component.c_str());
        const int saved = errno;
        if (at != job.fromFd)
            close(at);
        at = next;
        errno = saved;
    }
    if (at < 0)
        return -1;
    struct stat sb;
    if (!job.parentIdentified || fstat(at, &sb) != 0 || sb.st_dev != job.parentDev || sb.st_ino != job.parentIno) {
        // Something else stands at that name now: the folder is gone.
        if (at != job.fromFd)
            close(at);
        errno = ENOENT;
        return -1;
    }
    return at;
}

bool Walk::lowerDescriptorUse(Job &job, size_t held)
{
    Chores chores;
    if (job.reopened >= 0) {
        chores.close.push_back(job.reopened);
        job.reopened = -1;
    }
    bool lowered;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        lowered = !m_lowDescriptors || held < m_heldCap;
        m_lowDescriptors = true;
        m_heldCap = std::min(m_heldCap, held);
        keepWithin(m_heldCap, chores);
        chores.close.insert(chores.close.end(), m_toClose.begin(), m_toClose.end());
        m_toClose.clear();
    }
    // Worth another try only when this frees a descriptor or will keep fewer.
    const bool progress = lowered || !chores.close.empty() || !chores.identify.empty();
    doChores(chores);
    return progress;
}

void Walk::takeTurnWhenShort(Job &job)
{
    // While descriptors are short, one reader at a time touches the file system; the others
    // hold no descriptor of their own while they wait. Descriptors waiting to be closed go
    // first.
    if (!m_lowDescriptors)
        return;
    std::vector<int> fds;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!job.hasTurn) {
            ++m_waitingForTurn;
            m_readerCv.wait(lock, [this] { return (!m_turnTaken && m_active == m_waitingForTurn) || m_finished || m_aborted; });
            --m_waitingForTurn;
            m_turnTaken = true;
            job.hasTurn = true;
        }
        fds.swap(m_toClose);
    }
    closeAll(fds);
}

void Walk::keepWithin(size_t cap, Chores &chores)
{
    // Give up the descriptors needed last. A folder is looked at before it gives its
    // descriptor up, so that opening it again by name can tell whether it is still the same.
    auto it = m_open.end();
    size_t kept = m_open.size();
    while (kept > cap && it != m_open.begin()) {
        --it;
        Node *n = *it;
        if (n->users > 0 || n->identifying || n->unidentifiable)
            continue;
        --kept;
        if (!n->identified) {
            n->identifying = true;
            ++n->users;
            ++n->refs;
            chores.identify.emplace_back(n, n->fd);
            continue;
        }
        chores.close.push_back(n->fd);
        n->fd = -1;
        it = m_open.erase(it);
    }
}

void Walk::doChores(Chores &chores)
{
    while (!chores.identify.empty() || !chores.close.empty()) {
        closeAll(chores.close);
        chores.close.clear();
        if (chores.identify.empty())
            break;
        std::vector<std::pair<Node *, int>> identify;
        identify.swap(chores.identify);
        std::vector<struct stat> seen(identify.size());
        std::vector<bool> ok(identify.size());
        for (size_t i = 0; i < identify.size(); ++i)
            ok[i] = fstat(identify[i].second, &seen[i]) == 0;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (size_t i = 0; i < identify.size(); ++i) {
            Node *n = identify[i].first;
            n->identifying = false;
            n->identified = ok[i];
            n->unidentifiable = !ok[i];
            n->dev = seen[i].st_dev;
            n->ino = seen[i].st_ino;
            --n->users;
            settle(n, chores);
            release(n);
        }
        keepWithin(m_heldCap, chores);
    }
}

void Walk::settle(Node *n, Chores &chores)
{
    // A descriptor nobody uses and no child will be opened from any more.
    if (n->fd >= 0 && n->users == 0 && (m_finished || (!n->holding && n != m_root))) {
        m_open.erase(n);
        chores.close.push_back(n->fd);
        n->fd = -1;
    }
}

void Walk::complete(Job &job, Chores &chores)
{
    Node *node = job.node;
    Node *parent = node->parent;
    if (job.hasTurn) {
        m_turnTaken = false;
        m_readerCv.notify_all();
    }
    if (job.from)
        --job.from->users;
    if (job.reopened >= 0) {
        if (parent->holding && parent->fd < 0 && !m_finished) {
            parent->fd = job.reopened;
            m_open.insert(parent);
        } else {
            chores.close.push_back(job.reopened);
        }
    }
    if (job.from)
        settle(job.from, chores);

    if (m_finished || !node->live) {
        if (job.keptFd >= 0)
            chores.close.push_back(job.keptFd);
        release(node);
        if (m_lowDescriptors)
            m_readerCv.notify_all();
        return;
    }
    node->listed = true;
    node->error = isResourceFailure(job.error) ? job.error : 0;
    node->listing = std::move(job.listing);
    if (!node->entered)
        m_aheadBytes += node->listing.bytes();
    if (!node->error && !node->listing.folders.empty() && m_options.descend) {
        node->holding = true;
        m_holders.insert(node);
        if (job.keptFd >= 0) {
            node->fd = job.keptFd;
            if (node != m_root)
                m_open.insert(node);
        }
    } else if (job.keptFd >= 0) {
        chores.close.push_back(job.keptFd);
    }
    keepWithin(m_heldCap, chores);
    release(node);
    if (m_awaited == node)
        m_walkCv.notify_one();
    if (m_lowDescriptors)
        m_readerCv.notify_all();
    wake();
}

void Walk::readerMain(std::shared_ptr<Walk> self)
{
    std::unique_lock<std::mutex> lock(self->m_mutex);
    for (;;) {
        if (!self->m_toClose.empty()) {
            std::vector<int> fds;
            fds.swap(self->m_toClose);
            lock.unlock();
            closeAll(fds);
            lock.lock();
            continue;
        }
        if (self->m_finished)
            break;
        Job job;
        if (self->pick(job)) {
            ++self->m_active;
            self->wake();
            lock.unlock();
            const auto started = std::chrono::steady_clock::now();
            self->run(job);
            const bool slow = std::chrono::steady_clock::now() - started > kSlowListing;
            Chores chores;
            lock.lock();
            self->m_recentSlow = (self->m_recentSlow << 1) | (slow ? 1u : 0u);
            self->complete(job, chores);
            if (!chores.close.empty() || !chores.identify.empty()) {
                lock.unlock();
                self->doChores(chores);
                lock.lock();
            }
            // Active until its descriptors are closed: a reader waiting for its turn counts on it.
            --self->m_active;
            if (self->m_lowDescriptors)
                self->m_readerCv.notify_all();
            continue;
        }
        ++self->m_idle;
        self->m_readerCv.wait(lock);
        --self->m_idle;
    }
    --self->m_threads;
    lock.unlock();
    self.reset();
    --g_readersRunning;
}

void Walk::release(Node *node)
{
    while (node && --node->refs == 0) {
        Node *parent = node->parent;
        freeNode(node);
        node = parent;
    }
}

void Walk::freeNode(Node *node)
{
    if (node->holding)
        m_holders.erase(node);
    m_open.erase(node);
    if (node->fd >= 0)
        m_toClose.push_back(node->fd);
    m_all.erase(node);
    delete node;
}

void Walk::closeLater(Node *node)
{
    if (node->fd >= 0 && node->users == 0 && node != m_root) {
        m_open.erase(node);
        m_toClose.push_back(node->fd);
        node->fd = -1;
        wake();
    }
}

template <typename Ready>
bool Walk::waitFor(std::unique_lock<std::mutex> &lock, bool stoppable, Ready ready)
{
    const auto ended = [&] { return m_aborted || m_spawnFailed || (stoppable && m_stopDescending); };
    const auto done = [&] { return ready() || ended(); };
    // Only a wait that lasts (a slow or hung share) is told; a local disk's short ones are not.
    if (!m_walkCv.wait_for(lock, kLongWait, done) && m_options.beforeWait) {
        lock.unlock();
        m_options.beforeWait();
        lock.lock();
    }
    m_walkCv.wait(lock, done);
    return ready() && !m_aborted;
}

Walk::Entered Walk::await(Node *node, std::unique_lock<std::mutex> &lock)
{
    m_awaited = node;
    if (!node->listed)
        wake();
    const bool listed = waitFor(lock, false, [&] { return node->listed; });
    m_awaited = nullptr;
    Entered e;
    if (m_aborted)
        return e;
    e.node = node;
    e.listing = &node->listing;
    e.error = listed ? node->error : EAGAIN;
    return e;
}

Walk::Entered Walk::enterStart()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_root = new Node;
    m_all.insert(m_root);
    m_root->name = m_start;
    m_root->entered = true;
    m_startPending = true;
    return await(m_root, lock);
}

Walk::Entered Walk::enter(Node *parent)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    Entered e;
    // First the next child handed to a reader (it is the next one any reader takes), then its
    // listing; the child counts as entered only once it is there.
    if (parent->waiting.empty()) {
        m_want = parent;
        wake();
        const bool picked = waitFor(lock, true, [&] { return !parent->waiting.empty(); });
        m_want = nullptr;
        if (!picked) {
            e.stopped = m_stopDescending && !m_aborted && !m_spawnFailed;
            e.error = m_spawnFailed && !m_aborted ? EAGAIN : 0;
            return e;
        }
    }
    Node *child = parent->waiting.front();
    if (!child->listed) {
        m_awaited = child;
        wake();
        const bool listed = waitFor(lock, true, [&] { return child->listed; });
        m_awaited = nullptr;
        if (!listed) {
            e.stopped = m_stopDescending && !m_aborted && !m_spawnFailed;
            e.error = m_spawnFailed && !m_aborted ? EAGAIN : 0;
            return e;
        }
    }
    parent->waiting.pop_front();
    child->entered = true;
    --m_ahead;
    m_aheadBytes -= child->listing.bytes();
    // Readers stopped by a full read-ahead go on once half of it is used up, not for every
    // folder the walk enters: that would cost a thread switch per folder.
    if (m_ahead <= size_t(m_options.listingsAhead) / 2)
        wake();
    e.node = child;
    e.listing = &child->listing;
    e.error = child->error;
    return e;
}

void Walk::skipRest(Node *folder)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (folder->holding) {
        m_holders.erase(folder);
        folder->holding = false;
        folder->picked = uint32_t(folder->listing.folders.size());
    }
    for (Node *child : folder->waiting)
        drop(child);
    folder->waiting.clear();
    closeLater(folder);
}

void Walk::drop(Node *node)
{
    node->live = false;
    --m_ahead;
    if (node->listed)
        m_aheadBytes -= node->listing.bytes();
    if (node->holding) {
        m_holders.erase(node);
        node->holding = false;
    }
    for (Node *child : node->waiting)
        drop(child);
    node->waiting.clear();
    node->listing = Listing();
    closeLater(node);
    release(node);
}

void Walk::leave(Node *folder)
{
    skipRest(folder);
    std::lock_guard<std::mutex> lock(m_mutex);
    folder->live = false;
    folder->listing = Listing();
    release(folder);
}

void Walk::finish()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_finished = true;
    m_want = nullptr;
    for (Node *n : m_all) {
        if (n->fd >= 0 && n->users == 0) {
            m_toClose.push_back(n->fd);
            n->fd = -1;
        }
    }
    m_holders.clear();
    m_open.clear();
    if (!m_toClose.empty() && m_threads == 0)
        spawn();
    m_readerCv.notify_all();
}

} // namespace ReadAhead
