#pragma once
// Loads the video module (the AVI file services on FFmpeg) on first use, so
// that a start that writes no video never loads FFmpeg. The module lives in
// lib/nivo beside the program's bin folder, in the build tree as installed.
#include <functional>
#include <string>

struct AviServices;

class AviModule {
public:
    // The loaded services, or null when the module cannot be loaded: each
    // failure is told on stderr and to the notice, if one is set, and the
    // next call tries again.
    static const AviServices* Services();
    // Loads a module file; null, with the reason in French, when it is
    // missing or is not the video module.
    static const AviServices* Open(const std::string& path, std::string& error);
    // Where the program looks for the module: lib/nivo next to its bin folder.
    static std::string DefaultPath();
    // Looks elsewhere from now on; a module already loaded stays loaded.
    static void SetPath(const std::string& path);
    // Who tells the user that videos cannot be written (a message box in the
    // application); the message is the French text shown.
    using Notice = std::function<void(const std::string& message)>;
    static void SetNotice(Notice notice);
};
