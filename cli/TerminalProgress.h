#pragma once
// The progress of a command-line render, on a terminal. There is no window to
// hold the render's progress dialogs, so while one of these lives, dialog
// template 131 gives them a bar that writes one line to `out`; nothing is
// written when `out` is not a terminal, or before `delay` has passed.
#include <chrono>
#include <cstdio>

class TerminalProgress {
public:
    explicit TerminalProgress(std::FILE* out, std::chrono::milliseconds delay = std::chrono::milliseconds(500));
    // `terminal` says whether `out` is one (tests decide it themselves).
    TerminalProgress(std::FILE* out, bool terminal, std::chrono::milliseconds delay);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void Report(int position);
    // Leaves the line empty again, so that what follows starts on a clean line.
    void Clear();

private:
    class Dialog;

    std::FILE* m_out;
    bool m_terminal;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::milliseconds m_delay;
    int m_shown = -1;
};
