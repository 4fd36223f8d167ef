#pragma once

#include <algorithm>
#include <vector>
#include <windows.h>

// Seconds that body takes, once.
template <typename Body> double SecondsOf(Body body) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    body();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Nanoseconds per call of body: the median over many samples, each timing a
// batch of calls with QueryPerformanceCounter.
template <typename Body> double NanosecondsPerCall(Body body, int batch = 20000, int samples = 41) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < batch; ++i) {
        body();
    }
    std::vector<double> results;
    for (int s = 0; s < samples; ++s) {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < batch; ++i) {
            body();
        }
        QueryPerformanceCounter(&end);
        results.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e9 /
                          static_cast<double>(frequency.QuadPart) / batch);
    }
    std::sort(results.begin(), results.end());
    return results[results.size() / 2];
}
