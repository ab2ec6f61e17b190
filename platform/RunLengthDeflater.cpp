#include "RunLengthDeflater.h"

#include <algorithm>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "bits are stored a word at a time");

namespace {
constexpr std::size_t kBlockSymbols = 16383; // zlib's block at its default memory level
constexpr int kEndOfBlock = 256;
constexpr int kLiteralSymbols = 286;
constexpr int kFixedSymbols = 288; // two more that no stream uses, but that place the fixed codes
constexpr std::size_t kShortestRun = 3;
constexpr std::size_t kLongestRun = 258;
constexpr int kLongestCode = 15;
constexpr int kLongestLengthCode = 7;

// A run's length symbol, and the extra bits that give its length.
struct RunCodes {
    std::uint16_t symbol[kLongestRun + 1] {};
    std::uint8_t extraBits[kLongestRun + 1] {};
    std::uint8_t extra[kLongestRun + 1] {};
    std::uint8_t symbolExtraBits[kLiteralSymbols] {};

    RunCodes()
    {
        static const int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const int bits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        for (int c = 0; c < 29; ++c) {
            const int end = c + 1 < 29 ? base[c + 1] : int(kLongestRun) + 1;
            symbolExtraBits[257 + c] = static_cast<std::uint8_t>(bits[c]);
            for (int n = base[c]; n < end; ++n) {
                symbol[n] = static_cast<std::uint16_t>(257 + c);
                extraBits[n] = static_cast<std::uint8_t>(bits[c]);
                extra[n] = static_cast<std::uint8_t>(n - base[c]);
            }
        }
    }
};
const RunCodes kRuns;

// How many of the bytes at p, at most `most`, equal `byte`.
std::size_t RunLength(const std::uint8_t* p, std::uint8_t byte, std::size_t most)
{
    const std::uint64_t pattern = 0x0101010101010101ull * byte;
    std::size_t n = 0;
    for (; n + 8 <= most; n += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + n, 8);
        if (const std::uint64_t differ = word ^ pattern)
            return n + (std::countr_zero(differ) >> 3);
    }
    while (n < most && p[n] == byte)
        ++n;
    return n;
}

// Huffman code lengths, none longer than `limit`, 0 for unused symbols. At
// least two symbols take a code, as inflaters require of every tree.
void BuildLengths(const std::uint32_t* frequencies, int count, int limit, std::uint8_t* lengths)
{
    std::fill(lengths, lengths + count, 0);
    int order[kLiteralSymbols];
    int used = 0;
    for (int s = 0; s < count; ++s)
        if (frequencies[s])
            order[used++] = s;
    for (int s = 0; used < 2; ++s)
        if (!frequencies[s])
            order[used++] = s;
    std::sort(order, order + used, [&](int a, int b) {
        return frequencies[a] != frequencies[b] ? frequencies[a] < frequencies[b] : a < b;
    });
    // Leaves rarest first, then the joined nodes in the order they are made;
    // each joins the two lightest of either queue.
    std::uint64_t weight[2 * kLiteralSymbols];
    int parent[2 * kLiteralSymbols];
    for (int i = 0; i < used; ++i)
        weight[i] = frequencies[order[i]];
    int leaf = 0, node = used, made = used;
    const auto lightest = [&] {
        return leaf < used && (node == made || weight[leaf] <= weight[node]) ? leaf++ : node++;
    };
    for (; made < 2 * used - 1; ++made) {
        const int a = lightest(), b = lightest();
        weight[made] = weight[a] + weight[b];
        parent[a] = parent[b] = made;
    }
    int depth[2 * kLiteralSymbols];
    depth[made - 1] = 0;
    int perLength[64] = {};
    for (int i = made - 2; i >= 0; --i) {
        depth[i] = depth[parent[i]] + 1;
        if (i < used)
            ++perLength[std::min(depth[i], limit)];
    }
    // Codes cut to the limit leave too many codes; each step takes one code
    // of the longest length and splits a shorter code into two.
    std::uint64_t total = 0;
    for (int l = 1; l <= limit; ++l)
        total += std::uint64_t(perLength[l]) << (limit - l);
    for (; total > (std::uint64_t(1) << limit); --total) {
        --perLength[limit];
        for (int l = limit - 1; l > 0; --l)
            if (perLength[l]) {
                --perLength[l];
                perLength[l + 1] += 2;
                break;
            }
    }
    int s = 0;
    for (int l = limit; l >= 1; --l)
        for (int k = 0; k < perLength[l]; ++k)
            lengths[order[s++]] = static_cast<std::uint8_t>(l);
}

// Canonical codes for the lengths, bit-reversed: deflate sends codes from their top bit.
void AssignCodes(const std::uint8_t* lengths, int count, std::uint16_t* codes)
{
    int perLength[kLongestCode + 1] = {};
    for (int s = 0; s < count; ++s)
        ++perLength[lengths[s]];
    perLength[0] = 0;
    int next[kLongestCode + 1] = {};
    for (int l = 1, code = 0; l <= kLongestCode; ++l) {
        code = (code + perLength[l - 1]) << 1;
        next[l] = code;
    }
    for (int s = 0; s < count; ++s) {
        const int l = lengths[s];
        codes[s] = 0;
        if (!l)
            continue;
        const unsigned code = static_cast<unsigned>(next[l]++);
        for (int b = 0; b < l; ++b)
            codes[s] = static_cast<std::uint16_t>(codes[s] | (((code >> b) & 1u) << (l - 1 - b)));
    }
}

// The code lengths of a dynamic block's trees, run-length coded: 16 repeats
// the last length 3 to 6 times, 17 and 18 give 3 to 10 and 11 to 138 zeros.
struct LengthRun {
    std::uint8_t symbol;
    std::uint8_t extra;
};

std::vector<LengthRun> CodeLengthRuns(const std::uint8_t* lengths, int count)
{
    std::vector<LengthRun> runs;
    for (int i = 0; i < count;) {
        const std::uint8_t l = lengths[i];
        int n = 1;
        while (i + n < count && lengths[i + n] == l)
            ++n;
        i += n;
        if (l == 0) {
            for (; n >= 11; n -= std::min(n, 138))
                runs.push_back({18, static_cast<std::uint8_t>(std::min(n, 138) - 11)});
            if (n >= 3) {
                runs.push_back({17, static_cast<std::uint8_t>(n - 3)});
                n = 0;
            }
        } else {
            runs.push_back({l, 0});
            --n;
            for (; n >= 3; n -= std::min(n, 6))
                runs.push_back({16, static_cast<std::uint8_t>(std::min(n, 6) - 3)});
        }
        for (; n > 0; --n)
            runs.push_back({l, 0});
    }
    return runs;
}

int LengthRunExtraBits(int symbol) { return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0; }
} // namespace

struct RunLengthDeflater::Codes {
    std::uint8_t lengths[kFixedSymbols] {};
    std::uint16_t codes[kFixedSymbols];
    std::uint8_t runDistanceLength; // a run's distance is always 1: code 0, all bits zero
};

// Bits into the output, first bit lowest; words are stored whole, so a
// reservation covers what is put after it and a word more.
class RunLengthDeflater::Bits {
public:
    explicit Bits(std::vector<std::uint8_t>& out) : m_out(out), m_used(out.size()) {}

    void Reserve(std::size_t bytes) { m_out.resize(std::max(m_out.size(), m_used + bytes + 16)); }
    void Put(std::uint64_t value, int count)
    {
        m_buffer |= value << m_count;
        m_count += count;
        if (m_count >= 32) {
            std::memcpy(m_out.data() + m_used, &m_buffer, 8);
            m_used += 4;
            m_buffer >>= 32;
            m_count -= 32;
        }
    }
    void AlignToByte()
    {
        std::memcpy(m_out.data() + m_used, &m_buffer, 8);
        m_used += static_cast<std::size_t>((m_count + 7) / 8);
        m_buffer = 0;
        m_count = 0;
    }
    void Append(const std::uint8_t* bytes, std::size_t size)
    {
        std::memcpy(m_out.data() + m_used, bytes, size);
        m_used += size;
    }
    void Finish() { m_out.resize(m_used); }

private:
    std::vector<std::uint8_t>& m_out;
    std::size_t m_used;
    std::uint64_t m_buffer = 0;
    int m_count = 0;
};

void RunLengthDeflater::Deflate(const std::uint8_t* data, std::size_t size, bool last, std::vector<std::uint8_t>& out)
{
    Bits bits(out);
    m_symbols.reserve(kBlockSymbols);
    std::size_t at = 0;
    do {
        const std::size_t start = at;
        at = Tokenize(data, at, size);
        WriteBlock(data + start, at - start, last && at == size, bits);
    } while (at < size);
    if (!last) {
        bits.Reserve(16);
        bits.Put(0, 3);
        bits.AlignToByte();
        bits.Put(0xffff0000u, 32);
    }
    bits.AlignToByte();
    bits.Finish();
}

// One block's symbols from `at` on, as zlib's run-length strategy takes them:
// a run where the next three bytes repeat the one before, else a literal.
std::size_t RunLengthDeflater::Tokenize(const std::uint8_t* data, std::size_t at, std::size_t size)
{
    m_symbols.clear();
    std::fill(std::begin(m_frequencies), std::end(m_frequencies), 0);
    while (at < size && m_symbols.size() < kBlockSymbols) {
        std::size_t run = 0;
        if (at > 0 && size - at >= kShortestRun && data[at] == data[at - 1])
            run = RunLength(data + at, data[at - 1], std::min(size - at, kLongestRun));
        if (run >= kShortestRun) {
            ++m_frequencies[kRuns.symbol[run]];
            m_symbols.push_back(static_cast<std::uint16_t>(256 + run));
            at += run;
        } else {
            ++m_frequencies[data[at]];
            m_symbols.push_back(data[at]);
            ++at;
        }
    }
    return at;
}

void RunLengthDeflater::WriteBlock(const std::uint8_t* bytes, std::size_t size, bool final, Bits& bits)
{
    m_frequencies[kEndOfBlock] = 1;
    std::uint64_t runs = 0, extraBits = 0, fixedBits = 3;
    for (int s = 257; s < kLiteralSymbols; ++s) {
        runs += m_frequencies[s];
        extraBits += std::uint64_t(m_frequencies[s]) * kRuns.symbolExtraBits[s];
    }
    Codes fixed;
    for (int s = 0; s < kFixedSymbols; ++s)
        fixed.lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    for (int s = 0; s < kLiteralSymbols; ++s)
        fixedBits += std::uint64_t(m_frequencies[s]) * fixed.lengths[s];
    fixedBits += extraBits + runs * 5;
    fixed.runDistanceLength = 5;

    Codes dynamic;
    BuildLengths(m_frequencies, kLiteralSymbols, kLongestCode, dynamic.lengths);
    dynamic.runDistanceLength = 1;
    int literalCount = kLiteralSymbols;
    while (literalCount > 257 && dynamic.lengths[literalCount - 1] == 0)
        --literalCount;
    // The distance tree holds codes 0 and 1, of one bit each.
    std::uint8_t treeLengths[kLiteralSymbols + 2];
    std::copy(dynamic.lengths, dynamic.lengths + literalCount, treeLengths);
    treeLengths[literalCount] = treeLengths[literalCount + 1] = 1;
    const std::vector<LengthRun> lengthRuns = CodeLengthRuns(treeLengths, literalCount + 2);
    std::uint32_t runFrequencies[19] = {};
    for (const LengthRun& r : lengthRuns)
        ++runFrequencies[r.symbol];
    std::uint8_t runLengths[19];
    std::uint16_t runCodes[19];
    BuildLengths(runFrequencies, 19, kLongestLengthCode, runLengths);
    AssignCodes(runLengths, 19, runCodes);
    static const int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    int sentLengths = 19;
    while (sentLengths > 4 && runLengths[kOrder[sentLengths - 1]] == 0)
        --sentLengths;
    std::uint64_t dynamicBits = 3 + 5 + 5 + 4 + 3 * std::uint64_t(sentLengths) + extraBits + runs;
    for (const LengthRun& r : lengthRuns)
        dynamicBits += runLengths[r.symbol] + LengthRunExtraBits(r.symbol);
    for (int s = 0; s < kLiteralSymbols; ++s)
        dynamicBits += std::uint64_t(m_frequencies[s]) * dynamic.lengths[s];

    constexpr std::size_t kLargestStored = 65535;
    const std::size_t storedBlocks = std::max<std::size_t>(1, (size + kLargestStored - 1) / kLargestStored);
    if (8 * size + 42 * storedBlocks < std::min(fixedBits, dynamicBits)) {
        // Bytes that runs and codes cannot shorten go as they are.
        bits.Reserve(size + 16 * storedBlocks);
        std::size_t done = 0;
        do {
            const std::size_t n = std::min(size - done, kLargestStored);
            bits.Put(final && done + n == size ? 1 : 0, 3);
            bits.AlignToByte();
            bits.Put(n | (~n & 0xffffu) << 16, 32);
            bits.Append(bytes + done, n);
            done += n;
        } while (done < size);
        return;
    }
    bits.Reserve(m_symbols.size() * 4 + 1024);
    const bool useFixed = fixedBits <= dynamicBits;
    Codes& codes = useFixed ? fixed : dynamic;
    AssignCodes(codes.lengths, kFixedSymbols, codes.codes);
    bits.Put(final ? 1 : 0, 1);
    if (useFixed) {
        bits.Put(1, 2);
    } else {
        bits.Put(2, 2);
        bits.Put(static_cast<std::uint64_t>(literalCount - 257), 5);
        bits.Put(1, 5); // two distance codes
        bits.Put(static_cast<std::uint64_t>(sentLengths - 4), 4);
        for (int i = 0; i < sentLengths; ++i)
            bits.Put(runLengths[kOrder[i]], 3);
        for (const LengthRun& r : lengthRuns) {
            bits.Put(runCodes[r.symbol], runLengths[r.symbol]);
            bits.Put(r.extra, LengthRunExtraBits(r.symbol));
        }
    }
    for (const std::uint16_t s : m_symbols) {
        if (s < 256) {
            bits.Put(codes.codes[s], codes.lengths[s]);
            continue;
        }
        const std::size_t run = s - 256u;
        const int symbol = kRuns.symbol[run];
        const int length = codes.lengths[symbol], extra = kRuns.extraBits[run];
        bits.Put(codes.codes[symbol] | std::uint64_t(kRuns.extra[run]) << length,
                 length + extra + codes.runDistanceLength);
    }
    bits.Put(codes.codes[kEndOfBlock], codes.lengths[kEndOfBlock]);
}
