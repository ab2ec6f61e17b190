#pragma once
// Where the phases of a picture say how far they are: the computation from 0
// to 50, the colouring from 50 towards 100. The window shows each phase in a
// progress dialog, a command line on its terminal, a bench nowhere.
class RenderProgress {
public:
    virtual ~RenderProgress() = default;
    // A phase starts, its bar at `position`.
    virtual void Begin(int position) = 0;
    virtual void Move(int position) = 0;
    // The phase is over and its bar goes.
    virtual void End() = 0;
};

// Goes nowhere: for callers that show no progress.
class SilentProgress : public RenderProgress {
public:
    void Begin(int) override {}
    void Move(int) override {}
    void End() override {}
};
