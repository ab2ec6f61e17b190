#include "AviStreamObject.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "AviFileObject.h"
#include "BgrScaler.h"

namespace {
struct CodecChoice {
    DWORD fourcc;
    AVCodecID codec;
    const char* encoder;
};

// Uncompressed frames keep the DIB layout: bottom-up BGR rows.
const CodecChoice kCodecs[] = {
    {mmioFOURCC('D', 'I', 'B', ' '), AV_CODEC_ID_RAWVIDEO, nullptr},
    {mmioFOURCC('D', 'I', 'V', 'X'), AV_CODEC_ID_MPEG4, "mpeg4"},
    {mmioFOURCC('M', 'J', 'P', 'G'), AV_CODEC_ID_MJPEG, "mjpeg"},
    {mmioFOURCC('F', 'F', 'V', '1'), AV_CODEC_ID_FFV1, "ffv1"},
    {mmioFOURCC('H', '2', '6', '4'), AV_CODEC_ID_H264, "libx264"},
};

DWORD UpperFourcc(DWORD fourcc)
{
    DWORD upper = 0;
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>((fourcc >> (8 * i)) & 0xFF);
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        upper |= DWORD(BYTE(c)) << (8 * i);
    }
    return upper;
}

// The encoder's usual format, unless it would lose what must be kept: a
// lossless compressor keeps every colour, and odd sizes cannot always take
// half-size colour planes.
AVPixelFormat PixelFormatFor(const AVCodec* encoder, int width, int height)
{
    if (!encoder->pix_fmts)
        return AV_PIX_FMT_YUV420P;
    if (encoder->id != AV_CODEC_ID_FFV1 && width % 2 == 0 && height % 2 == 0)
        return encoder->pix_fmts[0];
    return avcodec_find_best_pix_fmt_of_list(encoder->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

const CodecChoice* FindCodec(DWORD fourcc)
{
    for (const CodecChoice& c : kCodecs)
        if (c.fourcc == UpperFourcc(fourcc))
            return &c;
    return nullptr;
}
} // namespace

const std::vector<VideoCompressor>& AvailableCompressors()
{
    static const std::vector<VideoCompressor> available = [] {
        const char* names[] = {"Images pleines (non compressées)", "MPEG-4 partie 2 (DivX)", "Motion JPEG",
                               "FFV1 (sans perte)", "H.264"};
        const bool quality[] = {false, true, true, false, true};
        std::vector<VideoCompressor> list;
        for (std::size_t i = 0; i < std::size(kCodecs); ++i)
            if (!kCodecs[i].encoder || avcodec_find_encoder_by_name(kCodecs[i].encoder))
                list.push_back({kCodecs[i].fourcc, names[i], quality[i]});
        return list;
    }();
    return available;
}

const VideoCompressor* FindCompressor(DWORD fccHandler)
{
    for (const VideoCompressor& c : AvailableCompressors())
        if (c.fccHandler == UpperFourcc(fccHandler))
            return &c;
    return nullptr;
}

// Streams belong to their file, which finishes and frees them.
AviStreamObject::AviStreamObject(AviFileObject& file, const AVISTREAMINFOA& info) : m_file(file), m_info(info)
{
    m_file.AddStream(this);
}

AviStreamObject::AviStreamObject(AviStreamObject& source, const AVICOMPRESSOPTIONS& options)
    : m_file(source.m_file), m_source(&source), m_info(source.m_info), m_handler(options.fccHandler),
      m_quality(options.dwQuality)
{
    m_file.AddStream(this);
}

AviStreamObject::~AviStreamObject()
{
    avcodec_free_context(&m_encoder);
    sws_freeContext(m_scaler);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
}

ULONG AviStreamObject::Release()
{
    // The file keeps its streams until it is finished itself.
    return m_references > 0 ? --m_references : 0;
}

HRESULT AviStreamObject::SetFormat(const BITMAPINFOHEADER& format)
{
    if (format.biWidth <= 0 || format.biHeight == 0 || format.biBitCount != 24 || format.biCompression != BI_RGB)
        return AVIERR_BADFORMAT;
    m_format = format;
    m_hasFormat = true;
    return AVIERR_OK;
}

HRESULT AviStreamObject::Declare()
{
    const CodecChoice* codec = FindCodec(IsCompressed() ? m_handler : mmioFOURCC('D', 'I', 'B', ' '));
    if (!codec)
        return AVIERR_NOCOMPRESSOR;
    m_stream = avformat_new_stream(m_file.Muxer(), nullptr);
    if (!m_stream)
        return AVIERR_MEMORY;
    const int width = m_hasFormat ? m_format.biWidth : m_info.rcFrame.right - m_info.rcFrame.left;
    const int height = m_hasFormat ? std::abs(m_format.biHeight) : m_info.rcFrame.bottom - m_info.rcFrame.top;
    m_stream->time_base = AVRational {int(m_info.dwScale), int(m_info.dwRate)};
    m_stream->avg_frame_rate = AVRational {int(m_info.dwRate), int(m_info.dwScale)};
    if (codec->codec == AV_CODEC_ID_RAWVIDEO) {
        AVCodecParameters* par = m_stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->codec_tag = 0;
        par->format = AV_PIX_FMT_BGR24;
        par->bits_per_coded_sample = 24;
        par->width = width;
        par->height = height;
        return AVIERR_OK;
    }
    m_handler = codec->fourcc;
    return OpenEncoder();
}

HRESULT AviStreamObject::OpenEncoder()
{
    const CodecChoice* codec = FindCodec(m_handler);
    const AVCodec* encoder = avcodec_find_encoder_by_name(codec->encoder);
    if (!encoder)
        return AVIERR_NOCOMPRESSOR;
    m_encoder = avcodec_alloc_context3(encoder);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_encoder || !m_frame || !m_packet)
        return AVIERR_MEMORY;
    m_encoder->width = m_format.biWidth;
    m_encoder->height = std::abs(m_format.biHeight);
    m_encoder->time_base = m_stream->time_base;
    m_encoder->framerate = m_stream->avg_frame_rate;
    m_encoder->pix_fmt = PixelFormatFor(encoder, m_encoder->width, m_encoder->height);
    if (codec->codec == AV_CODEC_ID_MJPEG)
        m_encoder->color_range = AVCOL_RANGE_JPEG;
    // Every frame is handed over as a key frame.
    m_encoder->gop_size = 1;
    if (m_quality > 0 && codec->codec != AV_CODEC_ID_FFV1) {
        // 10000 is the best quality, 0 the encoder's default.
        const int q = 31 - int(m_quality * 29 / 10000);
        m_encoder->flags |= AV_CODEC_FLAG_QSCALE;
        m_encoder->global_quality = FF_QP2LAMBDA * q;
    }
    if (m_file.Muxer()->oformat->flags & AVFMT_GLOBALHEADER)
        m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(m_encoder, encoder, nullptr) < 0)
        return AVIERR_COMPRESSOR;
    if (avcodec_parameters_from_context(m_stream->codecpar, m_encoder) < 0)
        return AVIERR_COMPRESSOR;
    if (codec->codec == AV_CODEC_ID_MPEG4)
        m_stream->codecpar->codec_tag = mmioFOURCC('D', 'I', 'V', 'X');
    m_frame->format = m_encoder->pix_fmt;
    m_frame->width = m_encoder->width;
    m_frame->height = m_encoder->height;
    if (av_frame_get_buffer(m_frame, 0) < 0)
        return AVIERR_MEMORY;
    m_scaler = OpenBgrScaler(m_encoder->width, m_encoder->height, m_encoder->pix_fmt);
    return m_scaler ? AVIERR_OK : AVIERR_COMPRESSOR;
}

HRESULT AviStreamObject::Write(LONG start, const void* data, LONG size)
{
    if (!IsCompressed() || !m_hasFormat || !data)
        return AVIERR_BADPARAM;
    const LONG pitch = ((m_format.biWidth * 24 + 31) / 32) * 4;
    if (size < pitch * std::abs(m_format.biHeight))
        return AVIERR_BADPARAM;
    if (const HRESULT result = m_file.BeginWriting(); result != AVIERR_OK)
        return result;
    return m_encoder ? Encode(start, data) : WriteRaw(start, data);
}

HRESULT AviStreamObject::WriteRaw(LONG start, const void* data)
{
    AVPacket* packet = av_packet_alloc();
    const LONG frameBytes = LONG(((m_format.biWidth * 24 + 31) / 32) * 4) * std::abs(m_format.biHeight);
    if (!packet || av_new_packet(packet, frameBytes) < 0) {
        av_packet_free(&packet);
        return AVIERR_MEMORY;
    }
    // The muxer declares uncompressed frames top-down; turn the stored
    // bottom-up rows around so that players show the picture upright.
    const int height = std::abs(m_format.biHeight);
    const std::ptrdiff_t pitch = ((m_format.biWidth * 24 + 31) / 32) * 4;
    const auto* rows = static_cast<const uint8_t*>(data);
    for (int row = 0; row < height; ++row)
        std::memcpy(packet->data + row * pitch, rows + (height - 1 - row) * pitch, pitch);
    packet->stream_index = m_stream->index;
    packet->pts = packet->dts = start;
    packet->duration = 1;
    packet->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(packet, AVRational {int(m_info.dwScale), int(m_info.dwRate)}, m_stream->time_base);
    const HRESULT result = m_file.WritePacket(packet);
    av_packet_free(&packet);
    return result;
}

HRESULT AviStreamObject::Encode(LONG start, const void* data)
{
    if (av_frame_make_writable(m_frame) < 0)
        return AVIERR_MEMORY;
    // The rows are stored bottom-up: start at the last one and walk backwards.
    const int height = m_encoder->height;
    const int pitch = ((m_encoder->width * 24 + 31) / 32) * 4;
    const uint8_t* top = static_cast<const uint8_t*>(data) + std::ptrdiff_t(height - 1) * pitch;
    const uint8_t* planes[1] = {top};
    const int strides[1] = {-pitch};
    sws_scale(m_scaler, planes, strides, 0, height, m_frame->data, m_frame->linesize);
    m_frame->pts = start;
    m_frame->pict_type = AV_PICTURE_TYPE_I;
    if (avcodec_send_frame(m_encoder, m_frame) < 0)
        return AVIERR_COMPRESSOR;
    return Drain(false);
}

HRESULT AviStreamObject::Drain(bool flush)
{
    if (flush && avcodec_send_frame(m_encoder, nullptr) < 0)
        return AVIERR_COMPRESSOR;
    for (;;) {
        const int received = avcodec_receive_packet(m_encoder, m_packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return AVIERR_OK;
        if (received < 0)
            return AVIERR_COMPRESSOR;
        av_packet_rescale_ts(m_packet, m_encoder->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        if (m_file.WritePacket(m_packet) != AVIERR_OK)
            return AVIERR_FILEWRITE;
    }
}

HRESULT AviStreamObject::Finish() { return m_encoder ? Drain(true) : AVIERR_OK; }
