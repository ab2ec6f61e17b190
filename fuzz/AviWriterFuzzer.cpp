// The AVI writer's calls in any order, on any bitmaps: open, configure,
// append and close on up to two writers, with null writers, plain bitmaps
// and frames of changing sizes. Results are success or a failure code, a
// failure sticks until the writer is closed, a frame counts only when
// written, and every open is matched by the library's exit.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzCheck.h"
#include "export/AviWriter.h"
#include "platform/Gdi32.h"

extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=64"; }

namespace fs = std::filesystem;

namespace {
const fs::path& Folder()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("nivo-avi-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

HBITMAP SectionFrom(FuzzedDataProvider& input)
{
    BITMAPINFO info {};
    const LONG height = input.ConsumeIntegralInRange<LONG>(1, 17);
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), input.ConsumeIntegralInRange<LONG>(1, 17),
                      input.ConsumeBool() ? height : -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bits) {
        DIBSECTION ds {};
        GetObjectA(bitmap, sizeof ds, &ds);
        const std::string fill = input.ConsumeBytesAsString(ds.dsBmih.biSizeImage);
        std::copy(fill.begin(), fill.end(), static_cast<char*>(bits));
    }
    return bitmap;
}

// Null, two sections (often of different sizes) and a bitmap that is no section.
struct Bitmaps {
    std::array<HBITMAP, 4> pool {};
    explicit Bitmaps(FuzzedDataProvider& input)
    {
        pool[1] = SectionFrom(input);
        pool[2] = SectionFrom(input);
        pool[3] = CreateCompatibleBitmap(nullptr, 8, 8);
    }
    ~Bitmaps()
    {
        for (HBITMAP bitmap : pool)
            DeleteObject(bitmap);
    }
    bool IsSection(HBITMAP bitmap) const { return bitmap && (bitmap == pool[1] || bitmap == pool[2]); }
};

DWORD HandlerFrom(FuzzedDataProvider& input)
{
    const auto& compressors = AvailableCompressors();
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return 0;
    case 1:
        return mmioFOURCC('D', 'I', 'B', ' ');
    case 2:
        return compressors.empty() ? 0 : compressors[input.ConsumeIntegralInRange<std::size_t>(0, compressors.size() - 1)].fccHandler;
    default:
        return input.ConsumeIntegral<DWORD>();
    }
}

AVICOMPRESSOPTIONS OptionsFrom(FuzzedDataProvider& input)
{
    AVICOMPRESSOPTIONS options {};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = HandlerFrom(input);
    options.dwKeyFrameEvery = input.ConsumeIntegralInRange<DWORD>(0, 3);
    options.dwQuality = input.ConsumeBool() ? input.ConsumeIntegralInRange<DWORD>(0, 10000) : input.ConsumeIntegral<DWORD>();
    options.dwFlags = input.ConsumeBool() ? ICMF_CHOOSE_KEYFRAME : 0;
    return options;
}

bool IsResult(HRESULT result) { return result == AVIERR_OK || result < 0; }

class Session {
public:
    explicit Session(FuzzedDataProvider& input) : m_input(input), m_bitmaps(input) {}
    ~Session()
    {
        for (AviWriter*& writer : m_writers)
            Close(writer);
        Require(AVIFileInitCount() == 0, "every open is matched by the library's exit");
        SetSaveOptionsPrompt(nullptr);
        std::error_code ignored;
        fs::remove(File(0), ignored);
        fs::remove(File(1), ignored);
    }

    void Step()
    {
        AviWriter*& writer = m_writers[m_input.ConsumeIntegralInRange(0, 1)];
        HBITMAP bitmap = m_bitmaps.pool[m_input.ConsumeIntegralInRange(0, 3)];
        switch (m_input.ConsumeIntegralInRange(0, 4)) {
        case 0:
            Open(writer);
            break;
        case 1:
            Configure(writer, bitmap);
            break;
        case 2:
            Append(writer, bitmap);
            break;
        case 3:
            Close(writer);
            break;
        default:
            Require(AviConfigureVideo(nullptr, bitmap, nullptr, false, nullptr) == AVIERR_BADHANDLE &&
                        AviAppendFrame(nullptr, bitmap) == AVIERR_BADHANDLE && AviCloseWriter(nullptr) == AVIERR_BADHANDLE,
                    "a null writer is a bad handle");
        }
    }

private:
    std::string File(int slot) const { return (Folder() / (std::to_string(slot) + ".avi")).string(); }

    void Open(AviWriter*& writer)
    {
        Close(writer);
        const int slot = int(&writer - m_writers.data());
        const std::string path = m_input.ConsumeBool() ? File(slot) : (Folder() / "absent" / "x.avi").string();
        const LONG period = m_input.ConsumeBool() ? 41 : m_input.ConsumeIntegral<LONG>();
        // Read as when they chose an audio format, so that the seeds keep their meaning.
        m_input.ConsumeBytesAsString(18);
        m_input.ConsumeBool();
        writer = AviOpenWriter(path.c_str(), period);
        if (writer)
            Require(writer->frameCount == 0 && !writer->failed && writer->framePeriod == period, "a fresh writer");
    }

    void Configure(AviWriter* writer, HBITMAP bitmap)
    {
        AVICOMPRESSOPTIONS options = OptionsFrom(m_input);
        const bool showDialog = m_input.ConsumeBool();
        const bool accept = m_input.ConsumeBool();
        const DWORD chosen = HandlerFrom(m_input);
        SetSaveOptionsPrompt([accept, chosen](HWND, AVICOMPRESSOPTIONS& answer) {
            answer.fccHandler = chosen;
            return accept;
        });
        const bool failedBefore = writer && writer->failed;
        const HRESULT result = AviConfigureVideo(writer, bitmap, m_input.ConsumeBool() ? &options : nullptr, showDialog, nullptr);
        Require(IsResult(result), "success or a failure code");
        if (!writer)
            Require(result == AVIERR_BADHANDLE, "a null writer is a bad handle");
        else if (!m_bitmaps.IsSection(bitmap))
            Require(result == AVIERR_BADPARAM && writer->failed == failedBefore, "a bad bitmap is refused alone");
        else if (failedBefore)
            Require(result != AVIERR_OK, "a failure sticks");
        else if (result != AVIERR_OK && result != AVIERR_COMPRESSOR)
            Require(writer->failed, "a platform failure sets the writer's flag");
    }

    void Append(AviWriter* writer, HBITMAP bitmap)
    {
        const bool failedBefore = writer && writer->failed;
        const LONG framesBefore = writer ? writer->frameCount : 0;
        const HRESULT result = AviAppendFrame(writer, bitmap);
        Require(IsResult(result), "success or a failure code");
        if (!writer) {
            Require(result == AVIERR_BADHANDLE, "a null writer is a bad handle");
            return;
        }
        Require(writer->frameCount == framesBefore + (result == AVIERR_OK ? 1 : 0), "a frame counts when written");
        if (!m_bitmaps.IsSection(bitmap))
            Require(result == AVIERR_BADPARAM && writer->failed == failedBefore, "a bad bitmap is refused alone");
        else if (failedBefore)
            Require(result != AVIERR_OK, "a failure sticks");
        else if (result != AVIERR_OK)
            Require(writer->failed, "a platform failure sets the writer's flag");
    }

    void Close(AviWriter*& writer)
    {
        if (!writer)
            return;
        Require(AviCloseWriter(writer) == AVIERR_OK, "closing succeeds");
        writer = nullptr;
    }

    FuzzedDataProvider& m_input;
    Bitmaps m_bitmaps;
    std::array<AviWriter*, 2> m_writers {};
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    Session session(input);
    for (int step = 0; step < 12 && input.remaining_bytes() > 0; ++step)
        session.Step();
    return 0;
}
