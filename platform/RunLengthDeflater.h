#pragma once
// Deflate (RFC 1951) whose only matches are runs of the byte before, as
// zlib's run-length strategy makes them, for filtered picture rows: the
// runs are found eight bytes at a time and each block takes the cheapest
// of its own Huffman codes, the fixed ones and its bytes as they are. Several times faster than
// zlib on long runs, in streams of about the same size.
#include <cstddef>
#include <cstdint>
#include <vector>

class RunLengthDeflater {
public:
    // Appends the blocks of `data` to `out`, ending on a byte boundary: with
    // the stream's final block when `last`, else with an empty stored block
    // (zlib's sync flush), so that pieces made apart join into one stream.
    // No match reaches before `data`.
    void Deflate(const std::uint8_t* data, std::size_t size, bool last, std::vector<std::uint8_t>& out);

private:
    struct Codes;
    class Bits;

    // Symbols below 256 are literals; 256 + n is a run of n.
    std::size_t Tokenize(const std::uint8_t* data, std::size_t at, std::size_t size);
    void WriteBlock(const std::uint8_t* bytes, std::size_t size, bool final, Bits& bits);

    std::vector<std::uint16_t> m_symbols;
    std::uint32_t m_frequencies[286] = {};
};
