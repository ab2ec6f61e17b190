#include "AviModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string_view>

#include "AviServices.h"
#include "ProgramFolder.h"

namespace {
struct LoaderState {
    std::mutex lock;
    std::string path;
    const AviServices* services = nullptr;
    AviModule::Notice notice;
};

LoaderState& State()
{
    static LoaderState state;
    return state;
}

// The loader maps the module and its libraries; under a tight address-space
// limit the map fails, which it says in its own words.
bool OutOfMemory(const char* loaderError)
{
    const std::string_view text = loaderError ? loaderError : "";
    return text.find("failed to map segment") != std::string_view::npos ||
           text.find("Cannot allocate memory") != std::string_view::npos;
}

void Tell(const AviModule::Notice& notice, const std::string& message)
{
    std::fprintf(stderr, "nivo: %s\n", message.c_str());
    if (notice)
        notice(message);
}
} // namespace

const AviServices* AviModule::Open(const std::string& path, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error = (OutOfMemory(dlerror()) ? "Mémoire insuffisante pour charger le module vidéo ("
                                        : "Module vidéo introuvable ou illisible (") +
                path + ") : l'export vidéo est indisponible.";
        return nullptr;
    }
    auto* entry = reinterpret_cast<const AviServices* (*)()>(dlsym(handle, NIVO_AVI_SERVICES_ENTRY));
    if (!entry || !entry()) {
        dlclose(handle);
        error = "Le fichier " + path + " n'est pas le module vidéo de Nivo : l'export vidéo est indisponible.";
        return nullptr;
    }
    // Kept loaded for the rest of the process: streams and compressors point into it.
    return entry();
}

const AviServices* AviModule::Services()
{
    LoaderState& state = State();
    std::string error;
    Notice notice;
    {
        const std::lock_guard guard(state.lock);
        if (state.services)
            return state.services;
        state.services = Open(state.path.empty() ? DefaultPath() : state.path, error);
        if (state.services)
            return state.services;
        notice = state.notice;
    }
    Tell(notice, error);
    return nullptr;
}

std::string AviModule::DefaultPath()
{
    // Beside the window's program in lib/nivo, or there from bin/.
    const std::string folder = ProgramFolder();
    const std::string beside = folder + "/libnivo_avifile.so";
    return ::access(beside.c_str(), F_OK) == 0 ? beside : folder + "/../lib/nivo/libnivo_avifile.so";
}

void AviModule::SetPath(const std::string& path)
{
    LoaderState& state = State();
    const std::lock_guard guard(state.lock);
    state.path = path;
}

void AviModule::SetNotice(Notice notice)
{
    LoaderState& state = State();
    const std::lock_guard guard(state.lock);
    state.notice = std::move(notice);
}
