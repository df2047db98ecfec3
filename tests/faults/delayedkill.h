// DelayedKill: sends SIGKILL to a process after a delay, from a thread of its own, so that a
// server can die while the test's GUI thread is inside a long libmpd call. Owned by the test
// (a local); the destructor waits for the thread.
#ifndef DELAYEDKILL_H
#define DELAYEDKILL_H

#include <QElapsedTimer>

#include <atomic>
#include <thread>

class DelayedKill
{
public:
    // The clock starts now; the signal goes out delayMs later.
    DelayedKill(qint64 pid, int delayMs);
    ~DelayedKill();
    DelayedKill(const DelayedKill &) = delete;
    DelayedKill &operator=(const DelayedKill &) = delete;

    // Milliseconds since construction.
    qint64 elapsed() const { return clock.elapsed(); }
    // When the signal went out, in elapsed() time; -1 before.
    qint64 firedAt() const { return fired; }
    void join();

private:
    QElapsedTimer clock;
    std::atomic<qint64> fired{-1};
    std::thread thread;
};

#endif
