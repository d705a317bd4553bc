#pragma once

// A property every input must keep; a broken one stops the fuzzer on the input that broke it.
inline void FuzzCheck(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}
