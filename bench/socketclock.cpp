// The fortified headers define some of these calls inline; this file defines the real ones.
#undef _FORTIFY_SOURCE

#include "socketclock.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/select.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>

namespace {

enum Kind : signed char { Unknown = 0, Server = 1, Other = -1 };

// Descriptor numbers above this are classified on every call instead of cached.
constexpr int cachedFds = 4096;
std::array<std::atomic<signed char>, cachedFds> kinds{};
std::array<std::atomic<quint16>, 4> ports{};
std::atomic<pthread_t> watchedThread{};
std::atomic<bool> counting{false};

// One per thread that ever made a counted call; kept for the process's life, zeroed by watch().
struct ThreadSlot
{
    std::atomic<pthread_t> thread{};
    char name[16] = {};
    std::atomic<qint64> nanoseconds{0};
    std::atomic<qint64> calls{0};
};
constexpr int maxThreads = 32;
std::array<ThreadSlot, maxThreads> threadSlots;
std::atomic<int> slotsUsed{0};
// The calling thread's slot, or -1 before its first counted call; past maxThreads, the last.
thread_local int ownSlot = -1;

ThreadSlot &callerSlot()
{
    if (ownSlot < 0) {
        ownSlot = std::min(slotsUsed++, maxThreads - 1);
        ThreadSlot &slot = threadSlots[std::size_t(ownSlot)];
        prctl(PR_GET_NAME, slot.name);
        slot.thread = pthread_self();
    }
    return threadSlots[std::size_t(ownSlot)];
}

qint64 nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * qint64(1000000000) + now.tv_nsec;
}

bool watchedPort(const sockaddr *address)
{
    quint16 port = 0;
    if (address->sa_family == AF_INET)
        port = ntohs(reinterpret_cast<const sockaddr_in *>(address)->sin_port);
    else if (address->sa_family == AF_INET6)
        port = ntohs(reinterpret_cast<const sockaddr_in6 *>(address)->sin6_port);
    for (const auto &watched : ports) {
        if (port != 0 && watched.load(std::memory_order_relaxed) == port)
            return true;
    }
    return false;
}

Kind classify(int fd)
{
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &size) != 0)
        // A socket not connected yet may be one later: only the others are settled.
        return errno == ENOTCONN ? Unknown : Other;
    return watchedPort(reinterpret_cast<sockaddr *>(&peer)) ? Server : Other;
}

bool isServerSocket(int fd)
{
    if (fd < 0)
        return false;
    if (fd >= cachedFds)
        return classify(fd) == Server;
    signed char kind = kinds[fd].load(std::memory_order_relaxed);
    if (kind == Unknown) {
        kind = classify(fd);
        kinds[fd].store(kind, std::memory_order_relaxed);
    }
    return kind == Server;
}

// Cheap while counting is off: no look-up at all.
bool countingOn()
{
    return counting.load(std::memory_order_acquire);
}

bool counted(int fd)
{
    return countingOn() && isServerSocket(fd);
}

bool anyCounted(const pollfd *fds, nfds_t count)
{
    if (!countingOn())
        return false;
    for (nfds_t i = 0; i < count; ++i) {
        if (isServerSocket(fds[i].fd))
            return true;
    }
    return false;
}

bool anyCounted(int count, const fd_set *reads, const fd_set *writes, const fd_set *errors)
{
    if (!countingOn())
        return false;
    for (int fd = 0; fd < count; ++fd) {
        for (const fd_set *set : {reads, writes, errors}) {
            if (set && FD_ISSET(fd, set) && isServerSocket(fd))
                return true;
        }
    }
    return false;
}

void forget(int fd)
{
    if (fd >= 0 && fd < cachedFds)
        kinds[fd].store(Unknown, std::memory_order_relaxed);
}

template<typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Runs the C library's call, adding its time when it is counted.
template<typename Call> auto timed(bool isCounted, Call call)
{
    if (!isCounted)
        return call();
    ThreadSlot &slot = callerSlot();
    const qint64 start = nowNs();
    const auto result = call();
    slot.nanoseconds += nowNs() - start;
    ++slot.calls;
    return result;
}

}  // namespace

void SocketClock::watch(const QList<quint16> &watchedPorts)
{
    counting = false;
    for (std::size_t i = 0; i < ports.size(); ++i)
        ports[i] = i < std::size_t(watchedPorts.size()) ? watchedPorts.at(qsizetype(i)) : 0;
    for (auto &kind : kinds)
        kind = Unknown;
    watchedThread = pthread_self();
    for (ThreadSlot &slot : threadSlots) {
        slot.nanoseconds = 0;
        slot.calls = 0;
    }
    counting = true;
}

void SocketClock::setCounting(bool on)
{
    counting = on;
}

namespace {

const ThreadSlot *watchedSlot()
{
    const int used = std::min(slotsUsed.load(), maxThreads);
    for (int i = 0; i < used; ++i) {
        if (pthread_equal(threadSlots[std::size_t(i)].thread, watchedThread))
            return &threadSlots[std::size_t(i)];
    }
    return nullptr;
}

}  // namespace

double SocketClock::totalMs()
{
    const ThreadSlot *slot = watchedSlot();
    return slot ? slot->nanoseconds / 1e6 : 0.0;
}

qint64 SocketClock::calls()
{
    const ThreadSlot *slot = watchedSlot();
    return slot ? slot->calls.load() : 0;
}

QList<SocketClock::Totals> SocketClock::otherThreads()
{
    QList<Totals> totals;
    const ThreadSlot *watched = watchedSlot();
    const int used = std::min(slotsUsed.load(), maxThreads);
    for (int i = 0; i < used; ++i) {
        const ThreadSlot &slot = threadSlots[std::size_t(i)];
        if (&slot != watched && slot.calls > 0)
            totals.append({QByteArray(slot.name), slot.nanoseconds / 1e6, slot.calls});
    }
    return totals;
}

// The calls themselves: they replace the C library's for the whole process.
extern "C" {

ssize_t read(int fd, void *buffer, size_t size)
{
    static const auto real = next<decltype(&read)>("read");
    return timed(counted(fd), [&] { return real(fd, buffer, size); });
}

ssize_t write(int fd, const void *buffer, size_t size)
{
    static const auto real = next<decltype(&write)>("write");
    return timed(counted(fd), [&] { return real(fd, buffer, size); });
}

ssize_t recv(int fd, void *buffer, size_t size, int flags)
{
    static const auto real = next<decltype(&recv)>("recv");
    return timed(counted(fd), [&] { return real(fd, buffer, size, flags); });
}

ssize_t recvfrom(int fd, void *buffer, size_t size, int flags, sockaddr *from, socklen_t *fromSize)
{
    static const auto real = next<decltype(&recvfrom)>("recvfrom");
    return timed(counted(fd), [&] { return real(fd, buffer, size, flags, from, fromSize); });
}

ssize_t recvmsg(int fd, msghdr *message, int flags)
{
    static const auto real = next<decltype(&recvmsg)>("recvmsg");
    return timed(counted(fd), [&] { return real(fd, message, flags); });
}

ssize_t send(int fd, const void *buffer, size_t size, int flags)
{
    static const auto real = next<decltype(&send)>("send");
    return timed(counted(fd), [&] { return real(fd, buffer, size, flags); });
}

ssize_t sendto(int fd, const void *buffer, size_t size, int flags, const sockaddr *to,
               socklen_t toSize)
{
    static const auto real = next<decltype(&sendto)>("sendto");
    return timed(counted(fd), [&] { return real(fd, buffer, size, flags, to, toSize); });
}

ssize_t sendmsg(int fd, const msghdr *message, int flags)
{
    static const auto real = next<decltype(&sendmsg)>("sendmsg");
    return timed(counted(fd), [&] { return real(fd, message, flags); });
}

int poll(pollfd *fds, nfds_t count, int timeoutMs)
{
    static const auto real = next<decltype(&poll)>("poll");
    return timed(anyCounted(fds, count), [&] { return real(fds, count, timeoutMs); });
}

int ppoll(pollfd *fds, nfds_t count, const timespec *timeout, const sigset_t *mask)
{
    static const auto real = next<decltype(&ppoll)>("ppoll");
    return timed(anyCounted(fds, count), [&] { return real(fds, count, timeout, mask); });
}

int select(int count, fd_set *reads, fd_set *writes, fd_set *errors, timeval *timeout)
{
    static const auto real = next<decltype(&select)>("select");
    return timed(anyCounted(count, reads, writes, errors),
                 [&] { return real(count, reads, writes, errors, timeout); });
}

int connect(int fd, const sockaddr *address, socklen_t size)
{
    static const auto real = next<decltype(&connect)>("connect");
    // The descriptor may have been another socket before; its peer is this address now.
    forget(fd);
    return timed(countingOn() && address && watchedPort(address),
                 [&] { return real(fd, address, size); });
}

int close(int fd)
{
    static const auto real = next<decltype(&close)>("close");
    forget(fd);
    return real(fd);
}

}  // extern "C"
