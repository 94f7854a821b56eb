#pragma once
// Wall time of a piece of work, from the performance counter.
#include <windows.h>

namespace kavrel::bench {

class Stopwatch {
public:
    Stopwatch() { ::QueryPerformanceCounter(&start_); }
    // Milliseconds since construction.
    double ElapsedMs() const {
        LARGE_INTEGER now{}, frequency{};
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(now.QuadPart - start_.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_{};
};

}  // namespace kavrel::bench
