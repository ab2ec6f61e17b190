#include "GdiFlush.h"

#include <QGuiApplication>
#include <dlfcn.h>
#include <qpa/qplatformnativeinterface.h>

namespace {
using FlushConnection = int (*)(void*);

// Only ever a library the platform plugin has already loaded.
FlushConnection LoadedFunction(const char* library, const char* name)
{
    void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
    return handle ? reinterpret_cast<FlushConnection>(dlsym(handle, name)) : nullptr;
}

BOOL Flush(FlushConnection flush, const char* resource, bool (*succeeded)(int))
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    void* connection = native ? native->nativeResourceForIntegration(resource) : nullptr;
    return flush && connection && succeeded(flush(connection));
}
} // namespace

BOOL GdiFlush()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) {
        static const FlushConnection flush = LoadedFunction("libwayland-client.so.0", "wl_display_flush");
        return Flush(flush, "wl_display", [](int sent) { return sent >= 0; });
    }
    if (platform == QLatin1String("xcb")) {
        static const FlushConnection flush = LoadedFunction("libxcb.so.1", "xcb_flush");
        return Flush(flush, "connection", [](int result) { return result > 0; });
    }
    // Offscreen and the like draw into memory: nothing to send.
    return 1;
}
