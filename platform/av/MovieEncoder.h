#pragma once
// A movie being written: frames encoded by one of FFmpeg's encoders, with
// its own threads, into the container the file's extension names. The file
// is staged beside its target (unnamed until it is finished), so that the old
// file stays whole until the new one is, and an interrupted movie leaves
// nothing behind.
#include <cstddef>
#include <cstdint>

#include "platform/MovieServices.h"
#include "platform/StagedFile.h"

struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVOutputFormat;
struct AVPacket;
struct AVStream;
struct SwsContext;

class MovieEncoder {
public:
    static const MovieServices kServices;

    static MovieEncoder* Open(const MovieSettings& settings, MovieFailure& failure);
    ~MovieEncoder();
    MovieEncoder(const MovieEncoder&) = delete;
    MovieEncoder& operator=(const MovieEncoder&) = delete;

    bool Write(const std::uint8_t* topRow, std::ptrdiff_t pitch, MovieFailure& failure);
    // Puts the file in place; false, with the failure, when it could not be finished whole.
    bool Finish(MovieFailure& failure);

private:
    MovieEncoder() = default;
    bool OpenMuxer(const MovieSettings& settings, const AVOutputFormat* container, MovieFailure& failure);
    bool OpenCodec(const MovieSettings& settings, const AVCodec* codec, MovieFailure& failure);
    bool OpenScaler();
    bool Convert(const std::uint8_t* topRow, std::ptrdiff_t pitch);
    bool Drain(MovieFailure& failure);
    bool Fail(MovieFailure& failure, MovieFailure::Cause cause);

    StagedFile m_output;
    AVFormatContext* m_muxer = nullptr;
    AVStream* m_stream = nullptr;
    AVCodecContext* m_encoder = nullptr;
    // Null when the rows are copied by hand, exactly.
    SwsContext* m_scaler = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    std::int64_t m_next = 0;
};
