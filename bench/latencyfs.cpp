// latencyfs SOURCE DELAY_MS MOUNTPOINT [FUSE options]
//
// A read-only pass-through file system that waits DELAY_MS (fractions allowed) in every
// lookup, getattr, opendir and readdir, as a file server far away would. Many requests are
// served at once by separate threads, so requests made in parallel overlap as they do on a
// network share. The kernel keeps names and attributes for a second, as network file systems
// do (-o entry_timeout=0,attr_timeout=0 to keep nothing).
//   latencyfs /tmp/tree 5 /mnt/slow -f       serve in the foreground
//   fusermount3 -u /mnt/slow                 unmount
// Optional: a folder named in the environment variable LATENCYFS_HANG (a path below SOURCE,
// starting with "/") blocks its opendir for LATENCYFS_HANG_S seconds (default 30), or until
// the file system is unmounted, like a share that stops answering.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string g_source;
std::chrono::microseconds g_delay{0};
std::string g_hang;
std::chrono::seconds g_hangFor{30};
std::mutex g_hangMutex;
std::condition_variable g_hangCv;
bool g_unmounting = false;

void waitLikeAServer()
{
    if (g_delay.count() > 0)
        std::this_thread::sleep_for(g_delay);
}

std::string real(const char *path)
{
    return g_source + path;
}

int fsGetattr(const char *path, struct stat *st, struct fuse_file_info *)
{
    waitLikeAServer();
    return lstat(real(path).c_str(), st) == 0 ? 0 : -errno;
}

int fsReadlink(const char *path, char *buf, size_t size)
{
    const ssize_t n = readlink(real(path).c_str(), buf, size - 1);
    if (n < 0)
        return -errno;
    buf[n] = '\0';
    return 0;
}

int fsOpendir(const char *path, struct fuse_file_info *fi)
{
    waitLikeAServer();
    if (!g_hang.empty() && g_hang == path) {
        std::unique_lock<std::mutex> lock(g_hangMutex);
        g_hangCv.wait_for(lock, g_hangFor, [] { return g_unmounting; });
    }
    DIR *d = opendir(real(path).c_str());
    if (!d)
        return -errno;
    fi->fh = reinterpret_cast<uintptr_t>(d);
    return 0;
}

int fsReaddir(const char *, void *buf, fuse_fill_dir_t filler, off_t, struct fuse_file_info *fi,
              enum fuse_readdir_flags)
{
    waitLikeAServer();
    DIR *d = reinterpret_cast<DIR *>(fi->fh);
    rewinddir(d);
    while (const dirent *e = readdir(d)) {
        struct stat st {};
        st.st_ino = e->d_ino;
        st.st_mode = static_cast<mode_t>(DTTOIF(e->d_type));
        if (filler(buf, e->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)) != 0)
            return -ENOMEM;
    }
    return 0;
}

int fsReleasedir(const char *, struct fuse_file_info *fi)
{
    closedir(reinterpret_cast<DIR *>(fi->fh));
    return 0;
}

int fsOpen(const char *path, struct fuse_file_info *fi)
{
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    const int fd = open(real(path).c_str(), fi->flags);
    if (fd < 0)
        return -errno;
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int fsRead(const char *, char *buf, size_t size, off_t offset, struct fuse_file_info *fi)
{
    const ssize_t n = pread(static_cast<int>(fi->fh), buf, size, offset);
    return n < 0 ? -errno : static_cast<int>(n);
}

int fsRelease(const char *, struct fuse_file_info *fi)
{
    close(static_cast<int>(fi->fh));
    return 0;
}

int fsStatfs(const char *path, struct statvfs *st)
{
    return statvfs(real(path).c_str(), st) == 0 ? 0 : -errno;
}

void *fsInit(struct fuse_conn_info *, struct fuse_config *cfg)
{
    cfg->use_ino = 1;
    return nullptr;
}

void fsDestroy(void *)
{
    std::lock_guard<std::mutex> lock(g_hangMutex);
    g_unmounting = true;
    g_hangCv.notify_all();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: latencyfs SOURCE DELAY_MS MOUNTPOINT [FUSE options]\n");
        return 2;
    }
    char *resolved = realpath(argv[1], nullptr);
    if (!resolved) {
        std::perror(argv[1]);
        return 1;
    }
    g_source = resolved;
    std::free(resolved);
    g_delay = std::chrono::microseconds(static_cast<long>(std::atof(argv[2]) * 1000.0));
    if (const char *hang = std::getenv("LATENCYFS_HANG"))
        g_hang = hang;
    if (const char *hangFor = std::getenv("LATENCYFS_HANG_S"))
        g_hangFor = std::chrono::seconds(std::atol(hangFor));

    struct fuse_operations ops {};
    ops.getattr = fsGetattr;
    ops.readlink = fsReadlink;
    ops.opendir = fsOpendir;
    ops.readdir = fsReaddir;
    ops.releasedir = fsReleasedir;
    ops.open = fsOpen;
    ops.read = fsRead;
    ops.release = fsRelease;
    ops.statfs = fsStatfs;
    ops.init = fsInit;
    ops.destroy = fsDestroy;

    // Many threads, so that parallel requests overlap. Later -o options win.
    std::vector<char *> args{argv[0], argv[3]};
    static char defaults[] = "-oro,max_threads=256";
    args.push_back(defaults);
    for (int i = 4; i < argc; ++i)
        args.push_back(argv[i]);
    return fuse_main(static_cast<int>(args.size()), args.data(), &ops, nullptr);
}
