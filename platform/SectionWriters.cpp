#include "SectionWriters.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "PngRows.h"
#include "RunLengthDeflater.h"
#include "StagedFile.h"
#include "ThreadPlacement.h"

namespace {
// The stride of a 24-bit row in a BMP file, as in a section.
std::int64_t BmpStride(std::int32_t width) { return (std::int64_t(width) * 24 + 31) / 32 * 4; }

void Put16(BYTE*& at, std::uint16_t value)
{
    at[0] = static_cast<BYTE>(value), at[1] = static_cast<BYTE>(value >> 8);
    at += 2;
}

void Put32(BYTE*& at, std::uint32_t value)
{
    Put16(at, static_cast<std::uint16_t>(value));
    Put16(at, static_cast<std::uint16_t>(value >> 16));
}

int Commit(StagedFile& file)
{
    if (file.Intact() && file.Commit())
        return 0;
    const int error = file.Error() ? file.Error() : EIO;
    file.Discard();
    return error;
}

// Bands of fixed height keep the file the same whatever the core count. A
// band is computed on its own: 80 rows fill the calculator's passes of 40
// rows (20 on AVX2), where 64 left one pass in each band 40 % idle (a PNG of the
// x1e5 view took 11 % more processor time).
constexpr std::int32_t kBandRows = 80;
// A chunk's length must fit 31 bits.
constexpr std::size_t kLargestChunk = std::size_t(1) << 30;

std::int32_t BandCount(std::int32_t height) { return (height + kBandRows - 1) / kBandRows; }

// The bands of one file, taken in turn by every thread that writes it.
struct BandRun {
    const RowBands& source;
    std::int32_t count;
    std::atomic<std::int32_t> next {0};
    std::atomic<std::int32_t> written {0};
    std::atomic<int> error {0};

    // The first failure stops every thread.
    void Fail(int why)
    {
        int none = 0;
        error.compare_exchange_strong(none, why);
    }
};

// Bands taken until none is left or one fails; writeBand(b) gives 0 or an errno value.
template <class WriteBand>
void TakeBands(BandRun& run, bool calling, WriteBand&& writeBand)
{
    for (std::int32_t b = run.next++; b < run.count && !run.error; b = run.next++) {
        if (const int failed = writeBand(b)) {
            run.Fail(failed);
            return;
        }
        const std::int32_t written = ++run.written;
        if (calling)
            run.source.Written(written, run.count);
    }
}

// work(maker, calling) on as many threads as the source asks, the calling
// thread among them, each with a maker of its own.
int RunBands(BandRun& run, const std::function<void(RowBands::Maker&, bool calling)>& work)
{
    const auto body = [&](bool calling) {
        try {
            const std::unique_ptr<RowBands::Maker> maker = run.source.NewMaker();
            work(*maker, calling);
        } catch (const std::bad_alloc&) {
            run.Fail(ENOMEM);
        }
    };
    std::vector<std::thread> helpers;
    const auto cores = static_cast<std::size_t>(
        run.source.threads > 0 ? unsigned(run.source.threads) : std::max(1u, std::thread::hardware_concurrency()));
    try {
        const std::size_t threads = std::min(cores, std::size_t(run.count));
        // Room first: a started thread the vector could not take would end the program.
        helpers.reserve(threads > 1 ? threads - 1 : 0);
        while (helpers.size() + 1 < threads)
            helpers.push_back(ThreadPlacement::StartOffCallers([&] { body(false); }));
    } catch (const std::exception&) {
        // No thread or no memory for one: the calling thread takes what is left.
    }
    body(true);
    for (std::thread& helper : helpers)
        helper.join();
    return run.error;
}

// A section's rows, in place.
class SectionBands : public RowBands {
public:
    explicit SectionBands(const SectionRows& rows)
        : RowBands(rows.width, rows.height, rows.dotsPerMeterX, rows.dotsPerMeterY, 0), m_rows(rows)
    {
    }
    std::unique_ptr<Maker> NewMaker() const override { return std::make_unique<InPlace>(m_rows); }
    void Written(std::int32_t, std::int32_t) const override {}

private:
    class InPlace : public Maker {
    public:
        explicit InPlace(const SectionRows& rows) : m_rows(rows) {}
        SectionRows Rows(std::int32_t first, std::int32_t last) override
        {
            SectionRows band = m_rows;
            band.topRow += first * band.pitch;
            band.height = last - first;
            return band;
        }

    private:
        const SectionRows m_rows;
    };

    const SectionRows m_rows;
};

struct Band {
    std::vector<Bytef> bytes;
    uLong adler = 0;
    std::size_t length = 0; // filtered bytes in
};

// Up filters and run-length deflate: the pictures are smooth bands of a
// few colours, and this writes them many times faster than adaptive
// filters with full deflate, in files no larger. A band's first row is
// filtered against its left neighbours (Sub), so that a band needs no row of
// another. Each band's stream ends on a byte boundary, so that the bands
// join into one zlib stream.
int DeflateBand(RunLengthDeflater& deflater, RowBands::Maker& maker, std::int32_t height, std::int32_t band,
                std::vector<BYTE>& filtered, Band& out)
{
    const std::int32_t first = band * kBandRows;
    const std::int32_t last = std::min(first + kBandRows, height);
    try {
        const SectionRows rows = maker.Rows(first, last);
        const std::size_t rowSize = 1 + std::size_t(rows.width) * 3;
        filtered.resize(rowSize * std::size_t(last - first));
        for (std::int32_t r = first; r < last; ++r) {
            const BYTE* pixels = rows.topRow + (r - first) * rows.pitch;
            BYTE* row = filtered.data() + rowSize * std::size_t(r - first);
            row[0] = r > first ? 2 : 1; // Up, Sub
            if (r > first)
                PngRows::FilterUp(pixels, pixels - rows.pitch, rows.width, row + 1);
            else
                PngRows::FilterSub(pixels, rows.width, row + 1);
        }
        out.adler = PngRows::Adler32(1, filtered.data(), filtered.size());
        out.length = filtered.size();
        deflater.Deflate(filtered.data(), filtered.size(), last == height, out.bytes);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    return 0;
}

void DeflateBands(BandRun& run, std::vector<Band>& bands, RowBands::Maker& maker, bool calling)
{
    try {
        RunLengthDeflater deflater;
        std::vector<BYTE> filtered;
        TakeBands(run, calling, [&](std::int32_t b) {
            return DeflateBand(deflater, maker, run.source.height, b, filtered, bands[std::size_t(b)]);
        });
    } catch (const std::bad_alloc&) {
        run.Fail(ENOMEM);
    }
}

void PutBig32(BYTE* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<BYTE>(value >> (24 - 8 * i));
}

struct Span {
    const Bytef* data;
    std::size_t size;
};

// One chunk: its length, its type, the spans in turn, their checksum.
void WriteChunk(StagedFile& file, const char* type, const std::vector<Span>& spans)
{
    std::size_t length = 0;
    for (const Span& span : spans)
        length += span.size;
    BYTE head[8];
    PutBig32(head, static_cast<std::uint32_t>(length));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    file.Write(head, sizeof head);
    for (const Span& span : spans) {
        crc = crc32_z(crc, span.data, span.size);
        file.Write(span.data, span.size);
    }
    BYTE tail[4];
    PutBig32(tail, static_cast<std::uint32_t>(crc));
    file.Write(tail, sizeof tail);
}

// The zlib stream: its header, the bands, the checksum of all they hold,
// cut into chunks no longer than a chunk may be.
void WriteImageData(StagedFile& file, const std::vector<Band>& bands)
{
    static const Bytef kZlibHeader[2] = {0x78, 0x9c};
    uLong adler = adler32(0, nullptr, 0);
    for (const Band& band : bands)
        adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.length));
    BYTE checksum[4];
    PutBig32(checksum, static_cast<std::uint32_t>(adler));
    std::vector<Span> pieces {{kZlibHeader, 2}};
    for (const Band& band : bands)
        for (std::size_t at = 0; at < band.bytes.size(); at += kLargestChunk)
            pieces.push_back({band.bytes.data() + at, std::min(kLargestChunk, band.bytes.size() - at)});
    pieces.push_back({checksum, 4});
    std::vector<Span> chunk;
    std::size_t length = 0;
    for (const Span& piece : pieces) {
        if (length + piece.size > kLargestChunk) {
            WriteChunk(file, "IDAT", chunk);
            chunk.clear();
            length = 0;
        }
        chunk.push_back(piece);
        length += piece.size;
    }
    WriteChunk(file, "IDAT", chunk);
}

int WritePngFile(StagedFile& file, const RowBands& rows)
{
    BandRun run {rows, BandCount(rows.height)};
    std::vector<Band> bands;
    try {
        bands.resize(std::size_t(run.count));
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    if (const int error =
            RunBands(run, [&](RowBands::Maker& maker, bool calling) { DeflateBands(run, bands, maker, calling); }))
        return error;
    static const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    file.Write(kSignature, sizeof kSignature);
    BYTE header[13] {};
    PutBig32(header, static_cast<std::uint32_t>(rows.width));
    PutBig32(header + 4, static_cast<std::uint32_t>(rows.height));
    header[8] = 8; // bits per sample
    header[9] = 2; // red, green, blue
    WriteChunk(file, "IHDR", {{header, sizeof header}});
    BYTE density[9] {};
    PutBig32(density, static_cast<std::uint32_t>(rows.dotsPerMeterX));
    PutBig32(density + 4, static_cast<std::uint32_t>(rows.dotsPerMeterY));
    density[8] = 1; // per metre
    WriteChunk(file, "pHYs", {{density, sizeof density}});
    WriteImageData(file, bands);
    WriteChunk(file, "IEND", {});
    return 0;
}
// Band b where the file holds it: its rows bottom-up, each padded to the stride.
int WriteBmpBand(StagedFile& file, std::mutex& access, RowBands::Maker& maker, std::int32_t height, std::int32_t b,
                 std::vector<BYTE>& scratch)
{
    const std::int32_t first = b * kBandRows;
    const std::int32_t last = std::min(first + kBandRows, height);
    const SectionRows rows = maker.Rows(first, last);
    const std::int64_t stride = BmpStride(rows.width);
    const std::size_t size = static_cast<std::size_t>(stride * rows.height);
    const BYTE* bytes = rows.topRow + (rows.height - 1) * rows.pitch;
    // Stored bottom-up with the file's padding, the rows are the file's bytes as they lie.
    if (rows.pitch != -stride) {
        scratch.assign(size, 0);
        for (std::int32_t r = 0; r < rows.height; ++r)
            std::memcpy(scratch.data() + (rows.height - 1 - r) * stride, rows.topRow + r * rows.pitch,
                        std::size_t(rows.width) * 3);
        bytes = scratch.data();
    }
    std::lock_guard lock(access);
    if (file.WriteAt(54 + (height - last) * stride, bytes, size))
        return 0;
    return file.Error() ? file.Error() : EIO;
}
} // namespace

int SectionWriters::WriteBmp(const std::string& target, const SectionRows& rows)
{
    return WriteBmp(target, SectionBands(rows));
}

int SectionWriters::WritePng(const std::string& target, const SectionRows& rows)
{
    return WritePng(target, SectionBands(rows));
}

int SectionWriters::WriteBmp(const std::string& target, const RowBands& rows)
{
    const std::int64_t stride = BmpStride(rows.width);
    const std::int64_t pixels = stride * rows.height;
    if (54 + pixels > 0xffffffffLL)
        return EFBIG;
    BYTE header[54] {};
    BYTE* at = header;
    Put16(at, 0x4d42); // "BM"
    Put32(at, static_cast<std::uint32_t>(54 + pixels));
    Put32(at, 0);
    Put32(at, 54);
    Put32(at, 40);
    Put32(at, static_cast<std::uint32_t>(rows.width));
    Put32(at, static_cast<std::uint32_t>(rows.height)); // bottom-up
    Put16(at, 1);
    Put16(at, 24);
    Put32(at, 0);
    Put32(at, static_cast<std::uint32_t>(pixels));
    Put32(at, static_cast<std::uint32_t>(rows.dotsPerMeterX));
    Put32(at, static_cast<std::uint32_t>(rows.dotsPerMeterY));

    StagedFile file;
    if (!file.Open(target))
        return file.Error();
    if (!file.Write(header, sizeof header))
        return Commit(file);
    BandRun run {rows, BandCount(rows.height)};
    std::mutex access;
    const int error = RunBands(run, [&](RowBands::Maker& maker, bool calling) {
        std::vector<BYTE> scratch;
        TakeBands(run, calling,
                  [&](std::int32_t b) { return WriteBmpBand(file, access, maker, rows.height, b, scratch); });
    });
    if (error) {
        file.Discard();
        return error;
    }
    return Commit(file);
}

int SectionWriters::WritePng(const std::string& target, const RowBands& rows)
{
    if (rows.width <= 0 || rows.height <= 0 || std::int64_t(rows.width) * 3 + 1 > std::int64_t(UINT32_MAX))
        return EINVAL;
    StagedFile file;
    if (!file.Open(target))
        return file.Error();
    if (const int error = WritePngFile(file, rows)) {
        file.Discard();
        return error;
    }
    return Commit(file);
}
