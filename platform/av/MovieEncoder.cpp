#include "MovieEncoder.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/cpu.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "BgrScaler.h"
#include "StagedOutput.h"

namespace {
using Cause = MovieFailure::Cause;

struct Container {
    const char* extension;
    const char* muxer;
    // The usual codecs, the first this FFmpeg has being the default.
    const char* codecs[2];
};

const Container kContainers[] = {
    {".mkv", "matroska", {"libx264", "ffv1"}},
    {".mp4", "mp4", {"libx264", "mpeg4"}},
    {".avi", "avi", {"mpeg4", "ffv1"}},
    {".webm", "webm", {"libvpx-vp9", nullptr}},
};

// Settings where the encoder's own default is not one for a movie (a tiny
// bit rate, the slowest speed): its options, or a fixed quantiser.
struct Tuning {
    const char* encoder;
    const char* options;
    int quantiser;
};

const Tuning kTunings[] = {
    {"libvpx-vp9", "crf=32:b=0:row-mt=1:cpu-used=4", 0},
    {"mpeg4", "", 3},
    // x265 writes its notes itself, past FFmpeg's log.
    {"libx265", "x265-params=log-level=none", 0},
};

const Container* ContainerOf(const char* path)
{
    const std::size_t length = std::strlen(path);
    for (const Container& container : kContainers) {
        const std::size_t tail = std::strlen(container.extension);
        if (length > tail && strcasecmp(path + length - tail, container.extension) == 0)
            return &container;
    }
    return nullptr;
}

bool IsVideoEncoder(const AVCodec* codec)
{
    return codec && av_codec_is_encoder(codec) && codec->type == AVMEDIA_TYPE_VIDEO;
}

// By encoder name (libx264), or by codec name (h264) for its first encoder.
const AVCodec* EncoderNamed(const std::string& name)
{
    if (const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str()); IsVideoEncoder(codec))
        return codec;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get_by_name(name.c_str());
    const AVCodec* codec = descriptor ? avcodec_find_encoder(descriptor->id) : nullptr;
    return IsVideoEncoder(codec) ? codec : nullptr;
}

bool Takes(const AVOutputFormat* format, const AVCodec* codec)
{
    return avformat_query_codec(format, codec->id, FF_COMPLIANCE_NORMAL) == 1;
}

const AVCodec* DefaultEncoder(const Container& container, const AVOutputFormat* format)
{
    for (const char* name : container.codecs)
        if (name)
            if (const AVCodec* codec = EncoderNamed(name); codec && Takes(format, codec))
                return codec;
    return nullptr;
}

bool LosslessOnly(const AVCodec* codec)
{
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec->id);
    return descriptor && (descriptor->props & AV_CODEC_PROP_LOSSLESS) && !(descriptor->props & AV_CODEC_PROP_LOSSY);
}

// The formats the rows are turned into by hand, every colour kept.
constexpr AVPixelFormat kExactFormats[] = {AV_PIX_FMT_BGR24, AV_PIX_FMT_BGR0, AV_PIX_FMT_GBRP};

bool Supports(const AVCodec* codec, AVPixelFormat wanted)
{
    for (const AVPixelFormat* format = codec->pix_fmts; format && *format != AV_PIX_FMT_NONE; ++format)
        if (*format == wanted)
            return true;
    return false;
}

bool IsExact(AVPixelFormat format)
{
    return std::find(std::begin(kExactFormats), std::end(kExactFormats), format) != std::end(kExactFormats);
}

// A lossless codec keeps every colour; others take their usual format, unless
// the size is odd and half-size colour planes would not fit.
AVPixelFormat PixelFormatFor(const AVCodec* codec, int width, int height)
{
    // A codec that names no formats takes any: raw video keeps the rows as they are.
    if (!codec->pix_fmts)
        return LosslessOnly(codec) ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_YUV420P;
    if (LosslessOnly(codec))
        for (const AVPixelFormat format : kExactFormats)
            if (Supports(codec, format))
                return format;
    if (!LosslessOnly(codec) && width % 2 == 0 && height % 2 == 0)
        return codec->pix_fmts[0];
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

// The options for avcodec_open2; those the encoder lacks are left in them.
AVDictionary* Tune(AVCodecContext* encoder, const AVCodec* codec)
{
    AVDictionary* options = nullptr;
    for (const Tuning& tuning : kTunings)
        if (std::strcmp(tuning.encoder, codec->name) == 0) {
            av_dict_parse_string(&options, tuning.options, "=", ":", 0);
            if (tuning.quantiser > 0) {
                encoder->flags |= AV_CODEC_FLAG_QSCALE;
                encoder->global_quality = FF_QP2LAMBDA * tuning.quantiser;
            }
        }
    return options;
}

// Top-down BGR rows into a packed or planar RGB frame, byte for byte.
void CopyRows(const std::uint8_t* topRow, std::ptrdiff_t pitch, AVFrame* frame)
{
    for (int y = 0; y < frame->height; ++y) {
        const std::uint8_t* in = topRow + y * pitch;
        std::uint8_t* const* planes = frame->data;
        const int* strides = frame->linesize;
        switch (frame->format) {
        case AV_PIX_FMT_BGR24:
            std::memcpy(planes[0] + y * strides[0], in, std::size_t(frame->width) * 3);
            break;
        case AV_PIX_FMT_BGR0:
            for (int x = 0; x < frame->width; ++x) {
                std::uint8_t* out = planes[0] + y * strides[0] + 4 * x;
                out[0] = in[3 * x];
                out[1] = in[3 * x + 1];
                out[2] = in[3 * x + 2];
                out[3] = 0;
            }
            break;
        default: // GBRP: green, blue and red planes.
            for (int x = 0; x < frame->width; ++x) {
                planes[0][y * strides[0] + x] = in[3 * x + 1];
                planes[1][y * strides[1] + x] = in[3 * x];
                planes[2][y * strides[2] + x] = in[3 * x + 2];
            }
            break;
        }
    }
}

// The encoders of this FFmpeg that the container takes, by name: "ffv1, libx264, ...".
std::string CodecsOf(const AVOutputFormat* format)
{
    std::string names;
    void* state = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&state))
        if (IsVideoEncoder(codec) && !(codec->capabilities & (AV_CODEC_CAP_HARDWARE | AV_CODEC_CAP_EXPERIMENTAL)) &&
            Takes(format, codec))
            names += (names.empty() ? "" : ", ") + std::string(codec->name);
    return names;
}

MovieEncoder* OpenMovie(const MovieSettings& settings, MovieFailure& failure)
{
    return MovieEncoder::Open(settings, failure);
}

bool WriteFrame(MovieEncoder* movie, const std::uint8_t* topRow, std::ptrdiff_t pitch, MovieFailure& failure)
{
    return movie->Write(topRow, pitch, failure);
}

bool FinishMovie(MovieEncoder* movie, MovieFailure& failure)
{
    const bool finished = movie->Finish(failure);
    delete movie;
    return finished;
}

void DiscardMovie(MovieEncoder* movie) { delete movie; }
} // namespace

const MovieServices MovieEncoder::kServices {OpenMovie, WriteFrame, FinishMovie, DiscardMovie};

MovieEncoder* MovieEncoder::Open(const MovieSettings& settings, MovieFailure& failure)
{
    failure = {};
    const Container* container = ContainerOf(settings.path);
    const AVOutputFormat* format = container ? av_guess_format(container->muxer, nullptr, nullptr) : nullptr;
    if (!format) {
        failure.cause = Cause::Container;
        return nullptr;
    }
    const AVCodec* codec = settings.codec.empty() ? DefaultEncoder(*container, format) : EncoderNamed(settings.codec);
    if (!codec || !Takes(format, codec)) {
        failure.cause = codec ? Cause::CodecNotInContainer : Cause::UnknownCodec;
        failure.detail = CodecsOf(format);
        return nullptr;
    }
    auto* movie = new MovieEncoder;
    if (!movie->OpenMuxer(settings, format, failure) || !movie->OpenCodec(settings, codec, failure)) {
        delete movie;
        return nullptr;
    }
    return movie;
}

MovieEncoder::~MovieEncoder()
{
    avcodec_free_context(&m_encoder);
    sws_freeContext(m_scaler);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    if (m_muxer) {
        FreeStagedOutput(m_muxer->pb);
        avformat_free_context(m_muxer);
    }
}

bool MovieEncoder::Fail(MovieFailure& failure, Cause cause)
{
    failure.cause = cause;
    if (cause == Cause::File)
        failure.error = m_output.Error() != 0 ? m_output.Error() : EIO;
    return false;
}

bool MovieEncoder::OpenMuxer(const MovieSettings& settings, const AVOutputFormat* container, MovieFailure& failure)
{
    if (avformat_alloc_output_context2(&m_muxer, container, nullptr, settings.path) < 0 || !m_muxer)
        return Fail(failure, Cause::Memory);
    if (!m_output.Open(settings.path))
        return Fail(failure, Cause::File);
    m_muxer->pb = MakeStagedOutput(m_output);
    m_stream = avformat_new_stream(m_muxer, nullptr);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    return (m_muxer->pb && m_stream && m_frame && m_packet) || Fail(failure, Cause::Memory);
}

bool MovieEncoder::OpenCodec(const MovieSettings& settings, const AVCodec* codec, MovieFailure& failure)
{
    m_encoder = avcodec_alloc_context3(codec);
    if (!m_encoder)
        return Fail(failure, Cause::Memory);
    const AVRational rate = av_d2q(settings.framesPerSecond, 1'000'000);
    m_encoder->width = settings.width;
    m_encoder->height = settings.height;
    m_encoder->framerate = rate;
    m_encoder->time_base = av_inv_q(rate);
    m_encoder->pix_fmt = PixelFormatFor(codec, settings.width, settings.height);
    // swscale turns RGB into YUV by BT.601, limited range: say so to players.
    if (!IsExact(m_encoder->pix_fmt)) {
        m_encoder->colorspace = AVCOL_SPC_SMPTE170M;
        m_encoder->color_range = AVCOL_RANGE_MPEG;
    }
    // The encoder's threads encode while the next frame is computed.
    m_encoder->thread_count = av_cpu_count();
    // FFV1 encodes slices on several threads from its version 3 on.
    if (codec->id == AV_CODEC_ID_FFV1)
        m_encoder->level = 3;
    if (m_muxer->oformat->flags & AVFMT_GLOBALHEADER)
        m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = Tune(m_encoder, codec);
    const int opened = avcodec_open2(m_encoder, codec, &options);
    av_dict_free(&options);
    if (opened < 0 || avcodec_parameters_from_context(m_stream->codecpar, m_encoder) < 0)
        return Fail(failure, Cause::Codec);
    m_stream->time_base = m_encoder->time_base;
    m_stream->avg_frame_rate = rate;
    m_frame->format = m_encoder->pix_fmt;
    m_frame->width = m_encoder->width;
    m_frame->height = m_encoder->height;
    if (av_frame_get_buffer(m_frame, 0) < 0)
        return Fail(failure, Cause::Memory);
    if (!OpenScaler())
        return Fail(failure, Cause::Codec);
    // Matroska holds raw RGB video only in its Video for Windows mode.
    AVDictionary* muxing = nullptr;
    av_dict_set(&muxing, "allow_raw_vfw", "1", 0);
    const int header = avformat_write_header(m_muxer, &muxing);
    av_dict_free(&muxing);
    if (header < 0)
        return Fail(failure, m_output.Intact() ? Cause::Codec : Cause::File);
    return true;
}

bool MovieEncoder::OpenScaler()
{
    if (IsExact(m_encoder->pix_fmt))
        return true;
    m_scaler = OpenBgrScaler(m_encoder->width, m_encoder->height, m_encoder->pix_fmt);
    return m_scaler != nullptr;
}

bool MovieEncoder::Convert(const std::uint8_t* topRow, std::ptrdiff_t pitch)
{
    if (av_frame_make_writable(m_frame) < 0)
        return false;
    if (!m_scaler) {
        CopyRows(topRow, pitch, m_frame);
        return true;
    }
    const std::uint8_t* planes[1] = {topRow};
    const int strides[1] = {int(pitch)};
    return sws_scale(m_scaler, planes, strides, 0, m_encoder->height, m_frame->data, m_frame->linesize) > 0;
}

bool MovieEncoder::Write(const std::uint8_t* topRow, std::ptrdiff_t pitch, MovieFailure& failure)
{
    if (!Convert(topRow, pitch))
        return Fail(failure, Cause::Memory);
    m_frame->pts = m_next++;
    if (avcodec_send_frame(m_encoder, m_frame) < 0)
        return Fail(failure, Cause::Codec);
    return Drain(failure);
}

bool MovieEncoder::Drain(MovieFailure& failure)
{
    for (;;) {
        const int received = avcodec_receive_packet(m_encoder, m_packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0)
            return Fail(failure, Cause::Codec);
        av_packet_rescale_ts(m_packet, m_encoder->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        // Writes are buffered: a full disk may show only on a later packet.
        if (av_interleaved_write_frame(m_muxer, m_packet) < 0 || !m_output.Intact())
            return Fail(failure, Cause::File);
    }
}

bool MovieEncoder::Finish(MovieFailure& failure)
{
    if (avcodec_send_frame(m_encoder, nullptr) < 0 || !Drain(failure))
        return false;
    if (av_write_trailer(m_muxer) < 0)
        return Fail(failure, Cause::File);
    avio_flush(m_muxer->pb);
    if (m_muxer->pb->error < 0 || !m_output.Commit())
        return Fail(failure, Cause::File);
    return true;
}
