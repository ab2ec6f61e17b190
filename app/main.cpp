#include <QCoreApplication>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "CNivoApp.h"
#include "cli/CommandLine.h"
#include "cli/MovieCommand.h"
#include "cli/RenderCommand.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolkitMessages.h"

namespace {
// Descriptors Qt needs to load its platform plugin and a writer, the file
// written included: with fewer, Qt's plugin loader aborts.
constexpr int kFewestFreeDescriptors = 5;

bool HasFreeDescriptors(int wanted)
{
    int opened[kFewestFreeDescriptors];
    int count = 0;
    while (count < wanted && (opened[count] = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)) >= 0)
        ++count;
    for (int i = 0; i < count; ++i)
        ::close(opened[i]);
    return count == wanted;
}

QStringList Arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
} // namespace

int main(int argc, char** argv)
{
    // Past the file size limit (ulimit -f) a write fails with EFBIG, and the
    // save says so, rather than the process being killed.
    std::signal(SIGXFSZ, SIG_IGN);
    const CommandLine line = CommandLine::Parse(Arguments(argc, argv));
    const bool startsQt = line.mode == CommandLine::Mode::Render || line.mode == CommandLine::Mode::Print ||
                          line.mode == CommandLine::Mode::Window;
    if (startsQt && !HasFreeDescriptors(kFewestFreeDescriptors)) {
        std::fprintf(stderr, "nivo: trop de fichiers ouverts : la limite (ulimit -n) n'en laisse pas %d de libres\n",
                     kFewestFreeDescriptors);
        return 1;
    }
    switch (line.mode) {
    case CommandLine::Mode::Help:
        std::fputs(CommandLine::HelpText().toUtf8().constData(), stdout);
        return 0;
    case CommandLine::Mode::Version:
        std::printf("nivo %s\n", NIVO_VERSION);
        return 0;
    case CommandLine::Mode::Error:
        std::fprintf(stderr, "nivo: %s\nEssayez « nivo --help » pour plus d'informations.\n",
                     line.error.toUtf8().constData());
        return 2;
    case CommandLine::Mode::Render: {
        // No window, no display, no fonts: Qt's core is all a picture and its file need.
        SilenceToolkitMessages();
        QCoreApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        int status;
        {
            const TerminalProgress progress(stderr);
            status = RunRenderCommand(line, argv[1 + line.outputArgument]);
        }
        // The file is in place or was refused; what the process holds, the
        // system takes back faster than the destructors would.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    case CommandLine::Mode::Movie:
        // Frames are made without Qt, and FFmpeg comes with the video module.
        return RunMovieCommand(line, argv[1 + line.outputArgument]);
    case CommandLine::Mode::Print:
        // Prints and ends without showing a window, so no display is needed.
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        SilenceToolkitMessages();
        break;
    case CommandLine::Mode::Window:
        break;
    }
    CNivoApp app(argc, argv);
    if (!app.InitInstance(line))
        return app.ExitStatus();
    return app.exec();
}
