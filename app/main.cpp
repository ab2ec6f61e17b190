// The program users run. Its command-line modes load Qt's core only, which
// halves a render's start and its memory; a window, a print, or a picture in
// a format other than BMP and PNG belong to the window's program, started in
// its place with the same arguments.
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "cli/CommandLine.h"
#include "cli/CommandModes.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/ImageEncoders.h"
#include "render/CDibImage.h"

namespace {
bool RunsHere(const CommandLine& line, char** argv)
{
    if (!CommandModes::IsWindowless(line.mode))
        return false;
    return line.mode != CommandLine::Mode::Render ||
           IsWrittenFromSections(CDibImage::EncoderOf(argv[1 + line.outputArgument]));
}
} // namespace

int main(int argc, char** argv)
{
    // Past the file size limit (ulimit -f) a write fails with EFBIG, and the
    // save says so, rather than the process being killed.
    std::signal(SIGXFSZ, SIG_IGN);
    CommandModes::OpenClosedStandardDescriptors();
    const CommandLine line = CommandModes::Read(argc, argv);
    // Before the encoders are looked for, as Qt would need to.
    if (line.mode == CommandLine::Mode::Render && !CommandModes::LeavesQtRoom())
        return 1;
    if (RunsHere(line, argv))
        return CommandModes::RunWindowless(line, argc, argv);
    const std::string window = ProgramFolder() + "/../lib/nivo/nivo-window";
    ::execv(window.c_str(), argv);
    std::fprintf(stderr, "nivo: le programme de la fenêtre (%s) est introuvable ou ne peut pas démarrer\n",
                 window.c_str());
    return 1;
}
