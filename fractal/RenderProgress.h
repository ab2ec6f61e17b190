#pragma once
// Where the phases of a picture say how far they are: the computation from 0
// to 50, the colouring from 50 towards 100. The window shows each phase in a
// progress dialog, a command line on its terminal, a bench nowhere.
#include <atomic>

class RenderProgress {
public:
    virtual ~RenderProgress() = default;
    // A phase starts, its bar at `position`.
    virtual void Begin(int position) = 0;
    virtual void Move(int position) = 0;
    // The phase is over and its bar goes.
    virtual void End() = 0;
    // Asked as the computation goes: true leaves the rest of its counts unmade.
    virtual bool Stopped() { return false; }
};

// Goes nowhere: for callers that show no progress.
class SilentProgress : public RenderProgress {
public:
    void Begin(int) override {}
    void Move(int) override {}
    void End() override {}
};

// Goes nowhere, and stops the computation once `cancel`, when given, is set.
class CancellableProgress : public SilentProgress {
public:
    explicit CancellableProgress(const std::atomic<bool>* cancel) : m_cancel(cancel) {}
    bool Stopped() override { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>* m_cancel;
};
