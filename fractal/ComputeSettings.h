#pragma once
// How a picture's work is spread: the number of threads and the widest
// instruction set its kernels may use. Set from the thread that computes,
// between computes.

// Every kernel gives the same counts and the same bytes; ordered from the
// narrowest to the widest.
enum class Kernel { Scalar, Avx2, Avx512 };
const char* KernelName(Kernel kernel);

struct ComputeSettings {
    int threads = 0;               // 0: one per core
    Kernel widest = Kernel::Avx512; // Scalar forces the plain loops

    static ComputeSettings Current();
    static void Set(const ComputeSettings& settings);
    // The thread count that Compute will use: at least 1.
    int ResolvedThreads() const;
    // The kernel to run where the processor offers up to `available`.
    Kernel Choose(Kernel available) const { return available < widest ? available : widest; }
};
