#include "MovieCommand.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>

#include "CommandLine.h"
#include "DeepOptions.h"
#include "FramePipeline.h"
#include "MovieProgress.h"
#include "PrintableName.h"
#include "platform/AviModule.h"
#include "platform/AviServices.h"

namespace {
std::atomic<bool> g_stop {false};
volatile std::sig_atomic_t g_signal = 0;
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler may only touch lock-free atomics");

void OnSignal(int signal)
{
    g_signal = signal;
    g_stop = true;
}

// Ctrl+C, SIGTERM and a closed terminal stop the movie between frames, so
// that its file is discarded; the old handlers come back afterwards. A
// signal the caller ignores stays ignored: nohup's hang-up, a background
// job's Ctrl+C.
class StopOnSignals {
public:
    StopOnSignals()
    {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
            if (sigaction(kStopSignals[i], nullptr, &m_old[i]) == 0 && m_old[i].sa_handler != SIG_IGN)
                sigaction(kStopSignals[i], &action, nullptr);
    }
    ~StopOnSignals()
    {
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
            sigaction(kStopSignals[i], &m_old[i], nullptr);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    static constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_old[std::size(kStopSignals)] {};
};

std::string Quoted(const QString& text) { return "« " + text.toStdString() + " »"; }

std::string CauseOf(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "disque plein ; rien n'a été enregistré";
    case EACCES:
    case EPERM:
    case EROFS:
        return "écriture refusée : le dossier ou le fichier est en lecture seule";
    case ENOENT:
    case ENOTDIR:
        return "le dossier n'existe pas";
    case EISDIR:
    case EINVAL:
        return "ce n'est pas un fichier ordinaire";
    case ENAMETOOLONG:
        return "nom de fichier trop long";
    case EFBIG:
        return "film trop grand pour ce disque ; rien n'a été enregistré";
    default:
        return "erreur d'écriture ; rien n'a été enregistré";
    }
}

std::string Why(const MovieFailure& failure, const CommandLine& line)
{
    const std::string codec = line.codec.isEmpty() ? "aucun codec par défaut" : "--codec " + Quoted(line.codec);
    const std::string offered = " ; pour cette extension : " + (failure.detail.empty() ? "aucun" : failure.detail);
    switch (failure.cause) {
    case MovieFailure::Cause::Container:
        return "extension inconnue ; utilisez .mkv, .mp4, .avi ou .webm";
    case MovieFailure::Cause::UnknownCodec:
        return codec + " : FFmpeg n'a pas ce codec ici" + offered;
    case MovieFailure::Cause::CodecNotInContainer:
        return codec + " : ce conteneur ne peut pas le contenir" + offered;
    case MovieFailure::Cause::Codec:
        return "le codec a refusé ce film (" + std::to_string(line.width) + "x" + std::to_string(line.height) + ", " +
               QString::number(line.framesPerSecond).toStdString() + " images/s)";
    case MovieFailure::Cause::File:
        return CauseOf(failure.error);
    default:
        return "mémoire insuffisante pour ce film ; rien n'a été enregistré";
    }
}

// Bad values are refused with status 2, as on the command line; failures to write with 1.
int Refuse(const MovieFailure& failure, const CommandLine& line, const char* output)
{
    std::fprintf(stderr, "nivo: %s : %s\n", PrintableName(output).constData(), Why(failure, line).c_str());
    const bool badValue = failure.cause == MovieFailure::Cause::Container ||
                          failure.cause == MovieFailure::Cause::UnknownCodec ||
                          failure.cause == MovieFailure::Cause::CodecNotInContainer;
    return badValue ? 2 : 1;
}

// Dies of the signal that stopped it, as the shell and GNU parallel expect.
int EndInterrupted(const char* output)
{
    std::fprintf(stderr, "nivo: %s : interrompu ; aucun fichier n'a été écrit\n", PrintableName(output).constData());
    const int signal = g_signal;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return 128 + signal;
}

MovieShot ShotOf(const CommandLine& line)
{
    return {line.width,     line.height,   line.iterations, line.centerX,     line.centerY,
            line.zoom,      line.zoomEnd,  line.frames,     line.firstFrame,  line.lastFrame,
            line.deep,      line.deepCentreX, line.deepCentreY, line.deepZoom, line.deepZoomEnd};
}
} // namespace

int RunMovieCommand(const CommandLine& line, const char* output)
{
    const AviServices* services = AviModule::Services();
    if (!services)
        return 1;
    const MovieServices& movie = *services->movie;
    const StopOnSignals stopOnSignals;
    // The zoom curve is monotone: the deepest frame is at one end of the range.
    if (!line.deep && (BeyondTheDoubles(line, FrameZoom(line.zoom, line.zoomEnd, line.firstFrame, line.frames)) ||
                       BeyondTheDoubles(line, FrameZoom(line.zoom, line.zoomEnd, line.lastFrame, line.frames))))
        std::fputs("nivo: attention : aux grossissements les plus forts de ce film, les nombres de la fenêtre ne "
                   "distinguent plus les pixels voisins ; ces images sont celles que la fenêtre montrerait, --deep "
                   "donne les vraies images\n",
                   stderr);
    MovieFailure failure;
    MovieEncoder* encoder =
        movie.open({output, line.codec.toStdString(), line.width, line.height, line.framesPerSecond}, failure);
    if (!encoder)
        return Refuse(failure, line, output);

    FramePipeline pipeline(ShotOf(line));
    MovieProgress progress(stderr, line.lastFrame - line.firstFrame + 1);
    std::int32_t done = 0;
    const FramePipeline::End end = pipeline.Run(
        [&](const CDibImage& frame) {
            const bool written = movie.write(encoder, frame.m_topRow, frame.m_pitch, failure);
            progress.Report(++done);
            return written;
        },
        g_stop);
    progress.Clear();
    switch (end) {
    case FramePipeline::End::Finished:
        return movie.finish(encoder, failure) ? 0 : Refuse(failure, line, output);
    case FramePipeline::End::Stopped:
        movie.discard(encoder);
        return EndInterrupted(output);
    case FramePipeline::End::Refused:
        movie.discard(encoder);
        return Refuse(failure, line, output);
    case FramePipeline::End::NoMemory:
        break;
    }
    movie.discard(encoder);
    std::fprintf(stderr, "nivo: %s\n", NoRoomMessage(line).toUtf8().constData());
    return 1;
}
