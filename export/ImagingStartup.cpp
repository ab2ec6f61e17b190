#include "ImagingStartup.h"

#include <cstdlib>

namespace {
void ShutdownProcessImaging() { ImagingStartup::Process().Shutdown(); }
} // namespace

ImagingStartup& ImagingStartup::Process()
{
    static ImagingStartup process(GdiplusStartup, GdiplusShutdown);
    static const bool registered = std::atexit(ShutdownProcessImaging) == 0;
    (void)registered;
    return process;
}

bool ImagingStartup::Start()
{
    if (m_attempted)
        return m_available;
    m_attempted = true;
    GdiplusStartupInput input {};
    input.GdiplusVersion = 1;
    m_available = m_start(&m_token, &input, nullptr) == Ok;
    if (!m_available)
        m_token = 0; // nothing was started, so nothing is to be stopped
    return m_available;
}

void ImagingStartup::Shutdown()
{
    if (m_token != 0)
        m_shutdown(m_token);
    m_token = 0;
}
