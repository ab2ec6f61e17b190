// The window's program: the viewer and printing, and every windowless mode
// as `nivo` runs them. `nivo` starts it in its place for a window, a print,
// or a picture in a format Qt's Gui library writes.
#include <QCoreApplication>
#include <csignal>
#include <sys/prctl.h>

#include "CNivoApp.h"
#include "cli/CommandLine.h"
#include "cli/CommandModes.h"
#include "cli/ToolkitMessages.h"

int main(int argc, char** argv)
{
    // The name the system shows for the process is the one users started.
    ::prctl(PR_SET_NAME, "nivo");
    // Past the file size limit (ulimit -f) a write fails with EFBIG, and the
    // save says so, rather than the process being killed.
    std::signal(SIGXFSZ, SIG_IGN);
    CommandModes::OpenClosedStandardDescriptors();
    const CommandLine line = CommandModes::Read(argc, argv);
    if (CommandModes::IsWindowless(line.mode))
        return CommandModes::RunWindowless(line, argc, argv);
    if (!CommandModes::LeavesQtRoom())
        return 1;
    ExplainMissingDisplay();
    if (line.mode == CommandLine::Mode::Print) {
        // Prints and ends without showing a window, so no display is needed.
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        SilenceToolkitMessages();
    }
    CNivoApp app(argc, argv);
    if (!app.InitInstance(line))
        return app.ExitStatus();
    return app.exec();
}
