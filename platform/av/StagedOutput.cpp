#include "StagedOutput.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/mem.h>
}

#include "platform/StagedFile.h"

namespace {
constexpr int kBufferSize = 32 * 1024;

// FFmpeg 7 (libavformat 61) hands the bytes to a writer as const.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WrittenBytes = const uint8_t*;
#else
using WrittenBytes = uint8_t*;
#endif

int WriteOutput(void* output, WrittenBytes data, int size)
{
    return static_cast<StagedFile*>(output)->Write(data, std::size_t(size)) ? size : AVERROR(EIO);
}

int64_t SeekOutput(void* output, int64_t offset, int whence)
{
    auto* file = static_cast<StagedFile*>(output);
    if (whence & AVSEEK_SIZE)
        return file->Size();
    return file->Seek(offset, whence & ~AVSEEK_FORCE);
}
} // namespace

// Muxers seek back to complete their headers.
AVIOContext* MakeStagedOutput(StagedFile& file)
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer)
        return nullptr;
    AVIOContext* output = avio_alloc_context(buffer, kBufferSize, 1, &file, nullptr, WriteOutput, SeekOutput);
    if (!output)
        av_free(buffer);
    return output;
}

void FreeStagedOutput(AVIOContext*& output)
{
    if (output)
        av_freep(&output->buffer);
    avio_context_free(&output);
}
