// Replaces the program's sleeps with instant returns while it lives, counting them.
#pragma once

#include <windows.h>

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
};

} // namespace plugtest
