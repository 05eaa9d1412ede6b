// Stalled files: reads of one file that wait until a given time and then go on, as a read
// from a stalled network share or from a disk that spins up does. The object reads a file
// through FFmpeg's file protocol, which calls the C library's `read` on a descriptor; so on
// Linux the host defines `read`, `pread`, `pread64` and `readv` itself, ahead of the C
// library in the process's lookup order, tells a descriptor's file by its device and inode,
// and calls the C library's own function through dlsym(RTLD_NEXT). A sanitizer's runtime
// intercepts these functions too: its interceptor comes first and calls the host's as the
// next one, which calls the C library's.
#ifndef _WIN32
// The fortified inline `read` of the C library's headers would stand in the way.
#undef _FORTIFY_SOURCE
#endif

#include "headless_host.h"
#include "host_internal.h"

#ifdef _WIN32

bool host_stall(const std::string &path, double seconds, std::string *error)
{
    (void)path;
    (void)seconds;
    *error = "stalling the reads of a file is not available on Windows";
    return false;
}

#else

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/uio.h>
#include <thread>
#include <unistd.h>

namespace {

typedef std::chrono::steady_clock stall_clock;

struct stall {
    dev_t device;
    ino_t inode;
    stall_clock::time_point until;
};

// The number of stalls in the table: no read looks further while it is 0. Constant
// initialised, so that a read made before the host's initialisers runs finds it.
std::atomic<long> stall_count{0};
// Never destroyed: reads go on until the process ends.
std::mutex &stall_mutex = *new std::mutex();
std::vector<stall> &stalls = *new std::vector<stall>();

// How long a stalled read sleeps before it looks at the table again, where a new stall of
// the file may have moved its time.
const std::chrono::milliseconds STALL_SLICE(10);

// The time until which reads of the file of descriptor `fd` wait, if it is stalled.
bool stalled_until(int fd, stall_clock::time_point *until)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return false;
    std::lock_guard<std::mutex> lock(stall_mutex);
    for (const stall &s : stalls)
        if (s.device == st.st_dev && s.inode == st.st_ino) {
            *until = s.until;
            return true;
        }
    return false;
}

void wait_if_stalled(int fd)
{
    if (stall_count.load(std::memory_order_acquire) == 0)
        return;
    int saved = errno;
    stall_clock::time_point until;
    while (stalled_until(fd, &until)) {
        stall_clock::time_point now = stall_clock::now();
        if (now >= until)
            break;
        std::this_thread::sleep_for(std::min<stall_clock::duration>(until - now, STALL_SLICE));
    }
    errno = saved;
}

template <typename F> F real_function(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

bool host_stall(const std::string &path, double seconds, std::string *error)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        *error = strerror(errno);
        return false;
    }
    stall_clock::time_point now = stall_clock::now();
    stall_clock::time_point until =
        now + std::chrono::duration_cast<stall_clock::duration>(std::chrono::duration<double>(seconds > 0 ? seconds : 0));
    std::lock_guard<std::mutex> lock(stall_mutex);
    stalls.erase(std::remove_if(stalls.begin(), stalls.end(),
                                [&](const stall &s) {
                                    return s.until <= now || (s.device == st.st_dev && s.inode == st.st_ino);
                                }),
                 stalls.end());
    if (until > now)
        stalls.push_back({st.st_dev, st.st_ino, until});
    stall_count.store((long)stalls.size(), std::memory_order_release);
    return true;
}

extern "C" {

ssize_t read(int fd, void *buf, size_t count)
{
    static auto real = real_function<ssize_t (*)(int, void *, size_t)>("read");
    wait_if_stalled(fd);
    return real(fd, buf, count);
}

ssize_t pread(int fd, void *buf, size_t count, off_t offset)
{
    static auto real = real_function<ssize_t (*)(int, void *, size_t, off_t)>("pread");
    wait_if_stalled(fd);
    return real(fd, buf, count, offset);
}

ssize_t pread64(int fd, void *buf, size_t count, off64_t offset)
{
    static auto real = real_function<ssize_t (*)(int, void *, size_t, off64_t)>("pread64");
    wait_if_stalled(fd);
    return real(fd, buf, count, offset);
}

ssize_t readv(int fd, const struct iovec *iov, int iovcnt)
{
    static auto real = real_function<ssize_t (*)(int, const struct iovec *, int)>("readv");
    wait_if_stalled(fd);
    return real(fd, iov, iovcnt);
}

} // extern "C"

#endif
