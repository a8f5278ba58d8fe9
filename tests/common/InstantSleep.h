// Replaces the program's sleeps with instant returns while it lives, counting them.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace plugtest {

class InstantSleep {
public:
    InstantSleep();
    ~InstantSleep();
    InstantSleep(const InstantSleep&) = delete;
    InstantSleep& operator=(const InstantSleep&) = delete;

    // Every sleep asked for, in milliseconds, in order.
    std::vector<DWORD> Sleeps() const;
    DWORD TotalMs() const;
    void Clear();
    // Called after each sleep is counted, with its number (from 1) and length, on the sleeping
    // thread: a test makes things happen "during" a wait with it.
    void OnSleep(std::function<void(size_t number, DWORD milliseconds)> hook);
};

} // namespace plugtest
