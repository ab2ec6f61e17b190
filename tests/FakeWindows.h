#pragma once
// Test doubles for windows: a client area of a chosen size, and a progress
// dialog template whose bar records every message it is sent.
#include <functional>
#include <vector>

#include "fractal/RenderProgress.h"
#include "platform/WindowObject.h"

class FakeWindow : public WindowObject {
public:
    FakeWindow(LONG width, LONG height) : m_width(width), m_height(height) {}
    RECT ClientRect() const override { return {0, 0, m_width, m_height}; }
    void Resize(LONG width, LONG height) { m_width = width, m_height = height; }

private:
    LONG m_width;
    LONG m_height;
};

struct BarMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const BarMessage&) const = default;
};

struct ProgressLog {
    int created = 0;
    int shown = 0;
    int destroyed = 0;
    std::vector<BarMessage> messages;
    // Called on every message as it arrives, on the sending thread.
    std::function<void(const BarMessage&)> observer;
    std::vector<int> Positions() const;
};

// Registers template 131 for the lifetime of the object, logging into `log`.
class ProgressRecorder {
public:
    ProgressRecorder();
    ~ProgressRecorder();
    ProgressLog log;
};

// Progress as the window shows it, through dialogs made from template 131.
RenderProgress& DialogBars();
