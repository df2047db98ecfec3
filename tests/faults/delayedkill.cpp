#include "delayedkill.h"

#include <chrono>

#include <csignal>

DelayedKill::DelayedKill(qint64 pid, int delayMs)
{
    clock.start();
    thread = std::thread([this, pid, delayMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(pid_t(pid), SIGKILL);
        fired = clock.elapsed();
    });
}

DelayedKill::~DelayedKill()
{
    join();
}

void DelayedKill::join()
{
    if (thread.joinable())
        thread.join();
}
