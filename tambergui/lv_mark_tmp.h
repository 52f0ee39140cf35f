#pragma once
#include <cstdio>
#include <ctime>
inline void LV_Mark(const char* label) {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    std::fprintf(stderr, "MARK %s %lld\n", label, (long long)t.tv_sec * 1000000000LL + t.tv_nsec);
}
