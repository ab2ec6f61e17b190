#pragma once
// The movie encoder the video module hands to the program beside the AVI
// services: frames in, a file of a real container (Matroska, MP4, AVI, WebM)
// out, staged beside its target and put in place only when finished.
#include <cstddef>
#include <cstdint>
#include <string>

class MovieEncoder;

struct MovieSettings {
    const char* path;
    // Empty: the container's usual codec.
    std::string codec;
    std::int32_t width;
    std::int32_t height;
    double framesPerSecond;
};

// Why a movie could not be opened or written: `error`, an errno value, for
// the file; `detail`, for a codec refused, the codecs the container takes.
struct MovieFailure {
    enum class Cause { None, Container, UnknownCodec, CodecNotInContainer, Codec, File, Memory };
    Cause cause = Cause::None;
    int error = 0;
    std::string detail;
};

struct MovieServices {
    // Null, with the failure, when the movie cannot be made.
    MovieEncoder* (*open)(const MovieSettings& settings, MovieFailure& failure);
    // One frame of top-down 24-bit BGR rows, `pitch` bytes apart (negative
    // for a bottom-up section). False once the movie can no longer be whole.
    bool (*write)(MovieEncoder* movie, const std::uint8_t* topRow, std::ptrdiff_t pitch, MovieFailure& failure);
    // Drains the encoder, writes the trailer and puts the file in place; frees the movie.
    bool (*finish)(MovieEncoder* movie, MovieFailure& failure);
    // Frees the movie and leaves the old file, or none, as it was.
    void (*discard)(MovieEncoder* movie);
};
