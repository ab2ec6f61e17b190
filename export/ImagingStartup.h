#pragma once
// Start-up of the imaging library for image export, once per process. A
// failed start is never retried: every later export fails the same way.
#include "platform/qt/Gdiplus.h"

class ImagingStartup {
public:
    using StartFunction = GpStatus (*)(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
    using ShutdownFunction = void (*)(ULONG_PTR token);

    ImagingStartup(StartFunction start, ShutdownFunction shutdown) : m_start(start), m_shutdown(shutdown) {}

    // The one every image save shares; it is stopped at process exit.
    static ImagingStartup& Process();

    // Whether the library is available: the first call starts it, later calls
    // repeat that first answer.
    bool Start();
    // Stops the library if this object started it.
    void Shutdown();

private:
    StartFunction m_start;
    ShutdownFunction m_shutdown;
    ULONG_PTR m_token = 0;
    bool m_attempted = false;
    bool m_available = false;
};
