#include "CommandModes.h"

#include <QCoreApplication>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "MovieCommand.h"
#include "RenderCommand.h"
#include "TerminalProgress.h"
#include "ToolkitMessages.h"

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

// A text lost on its way (a full disk, a closed output) is a failure, as
// for any program whose output a script reads.
int EndOfText()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return 0;
    std::fputs(errno == ENOSPC ? "nivo: erreur d'écriture sur la sortie standard : disque plein\n"
                               : "nivo: erreur d'écriture sur la sortie standard\n",
               stderr);
    return 1;
}

[[noreturn]] void Render(const CommandLine& line, int argc, char** argv)
{
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
} // namespace

CommandLine CommandModes::Read(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return CommandLine::Parse(arguments);
}

bool CommandModes::IsWindowless(CommandLine::Mode mode)
{
    return mode != CommandLine::Mode::Window && mode != CommandLine::Mode::Print;
}

bool CommandModes::LeavesQtRoom()
{
    if (HasFreeDescriptors(kFewestFreeDescriptors))
        return true;
    std::fprintf(stderr, "nivo: trop de fichiers ouverts : la limite (ulimit -n) n'en laisse pas %d de libres\n",
                 kFewestFreeDescriptors);
    return false;
}

void CommandModes::OpenClosedStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            // The lowest free descriptor is this one.
            const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
            if (opened >= 0 && opened != fd)
                ::close(opened);
        }
}

int CommandModes::RunWindowless(const CommandLine& line, int argc, char** argv)
{
    switch (line.mode) {
    case CommandLine::Mode::Help:
        std::fputs(CommandLine::HelpText().toUtf8().constData(), stdout);
        return EndOfText();
    case CommandLine::Mode::Version:
        std::printf("nivo %s\n", NIVO_VERSION);
        return EndOfText();
    case CommandLine::Mode::Render:
        if (!LeavesQtRoom())
            return 1;
        Render(line, argc, argv);
    case CommandLine::Mode::Movie:
        // Frames are made without Qt, and FFmpeg comes with the video module.
        return RunMovieCommand(line, argv[1 + line.outputArgument]);
    default:
        std::fprintf(stderr, "nivo: %s\nEssayez « nivo --help » pour plus d'informations.\n",
                     line.error.toUtf8().constData());
        return 2;
    }
}
