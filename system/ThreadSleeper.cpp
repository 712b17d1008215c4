#include "ThreadSleeper.h"

#include <chrono>
#include <thread>

void ThreadSleeper::sleepMs(int milliseconds)
{
    // sleep_for resumes after a signal handler runs, so the full time passes.
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
