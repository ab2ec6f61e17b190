// The deflater's streams must inflate to what went in, alone or joined from
// pieces, whatever the runs, the block count or the shape of the codes, and
// be no larger than zlib's own run-length strategy makes them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/RunLengthDeflater.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

Bytes Inflate(const Bytes& stream, std::size_t expected)
{
    z_stream z {};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    Bytes out(expected + 1);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END) << (z.msg ? z.msg : "");
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the final block";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

std::size_t ZlibRunLengthSize(const Bytes& data)
{
    z_stream z {};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_RLE);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    deflateEnd(&z);
    return z.total_out;
}

Bytes Run(std::size_t size, std::uint8_t byte) { return Bytes(size, byte); }

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Random(std::size_t size, int alphabet, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(random() % unsigned(alphabet));
    return bytes;
}

// Symbols in Fibonacci proportions (the block's end is the first 1), never
// two alike in a row: one block whose Huffman tree is 18 deep, which
// deflate's 15-bit codes must cut.
Bytes Fibonacci()
{
    std::vector<std::size_t> left;
    for (std::size_t a = 1, b = 2; left.size() < 18; b = a + b, a = b - a)
        left.push_back(a);
    Bytes bytes;
    for (std::size_t last = left.size();;) {
        std::size_t pick = left.size();
        for (std::size_t s = 0; s < left.size(); ++s)
            if (s != last && left[s] && (pick == left.size() || left[s] > left[pick]))
                pick = s;
        if (pick == left.size())
            return bytes;
        --left[pick];
        bytes.push_back(static_cast<std::uint8_t>(pick * 13));
        last = pick;
    }
}

// Rows of a smooth picture after the Up filter: runs of zeros, with the
// few colour steps of each row.
Bytes FilteredRows()
{
    std::mt19937 random(5);
    Bytes bytes;
    for (int r = 0; r < 64; ++r) {
        bytes.push_back(2);
        for (int x = 0; x < 3 * 1920; ++x)
            bytes.push_back(random() % 97 == 0 ? static_cast<std::uint8_t>(random() % 12) : 0);
    }
    return bytes;
}

struct Case {
    const char* name;
    Bytes data;
};

std::vector<Case> Cases()
{
    return {
        {"nothing", {}},
        {"one byte", {42}},
        {"three alike, too short for a run", Run(3, 9)},
        {"four alike", Run(4, 9)},
        {"run of 258 after a literal", Run(259, 0)},
        {"runs of 259 to 261", Joined({Run(260, 1), {2}, Run(261, 3), {4}, Run(262, 5)})},
        {"a megabyte of zeros", Run(1 << 20, 0)},
        {"random bytes, many blocks", Random(100000, 256, 1)},
        {"few symbols, fixed codes", Bytes {'a', 'b', 'a', 'b', 'c'}},
        {"codes cut to 15 bits", Fibonacci()},
        {"filtered picture rows", FilteredRows()},
    };
}

TEST(RunLengthDeflater, InflatesToWhatWentIn)
{
    for (const Case& c : Cases()) {
        RunLengthDeflater deflater;
        Bytes stream;
        deflater.Deflate(c.data.data(), c.data.size(), true, stream);
        EXPECT_EQ(Inflate(stream, c.data.size()), c.data) << c.name;
    }
}

TEST(RunLengthDeflater, PiecesJoinIntoOneStream)
{
    const std::vector<Case> cases = Cases();
    RunLengthDeflater deflater;
    Bytes stream, all;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Bytes& data = cases[i].data;
        deflater.Deflate(data.data(), data.size(), i + 1 == cases.size(), stream);
        all.insert(all.end(), data.begin(), data.end());
    }
    EXPECT_EQ(Inflate(stream, all.size()), all);
}

TEST(RunLengthDeflater, NoLargerThanZlibsRunLengthStrategy)
{
    for (const Case& c : Cases()) {
        if (c.data.size() < 1000)
            continue;
        RunLengthDeflater deflater;
        Bytes stream;
        deflater.Deflate(c.data.data(), c.data.size(), true, stream);
        EXPECT_LE(stream.size(), ZlibRunLengthSize(c.data) * 1.002 + 16) << c.name;
    }
}
} // namespace
