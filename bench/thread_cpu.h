#pragma once

#include <time.h>

namespace tarrowind::bench {

// CPU time of the calling thread so far, in milliseconds.
inline double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace tarrowind::bench
