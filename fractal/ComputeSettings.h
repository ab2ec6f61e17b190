#pragma once
// How Compute spreads its work: the number of threads and which vector
// kernels may be used. Set from the thread that computes, between computes.
struct ComputeSettings {
    int threads = 0;          // 0: one per core
    bool allowVector = true;  // false forces the scalar kernel
    bool allowWide = true;    // false keeps to AVX2 where AVX-512 is there too

    static ComputeSettings Current();
    static void Set(const ComputeSettings& settings);
    // The thread count that Compute will use: at least 1.
    int ResolvedThreads() const;
};
