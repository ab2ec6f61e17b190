// Any bytes, deflated in up to four pieces joined into one stream, inflate
// back to themselves with zlib.
#include <fuzzer/FuzzedDataProvider.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "platform/RunLengthDeflater.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const int pieces = input.ConsumeIntegralInRange(1, 4);
    std::vector<std::uint8_t> all, stream(input.ConsumeIntegralInRange<std::size_t>(0, 7), 0xa5);
    const std::size_t start = stream.size();
    RunLengthDeflater deflater;
    for (int p = 1; p <= pieces; ++p) {
        const std::vector<std::uint8_t> piece = p < pieces
            ? input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 70000))
            : input.ConsumeRemainingBytes<std::uint8_t>();
        deflater.Deflate(piece.data(), piece.size(), p == pieces, stream);
        all.insert(all.end(), piece.begin(), piece.end());
    }
    Require(std::all_of(stream.begin(), stream.begin() + std::ptrdiff_t(start), [](std::uint8_t b) { return b == 0xa5; }),
            "bytes before the stream are kept");
    std::vector<std::uint8_t> back(all.size() + 1);
    z_stream z {};
    Require(inflateInit2(&z, -15) == Z_OK, "inflate starts");
    z.next_in = stream.data() + start;
    z.avail_in = static_cast<uInt>(stream.size() - start);
    z.next_out = back.data();
    z.avail_out = static_cast<uInt>(back.size());
    Require(inflate(&z, Z_FINISH) == Z_STREAM_END, "the stream ends with its final block");
    Require(z.avail_in == 0, "nothing follows the final block");
    Require(z.total_out == all.size() && std::equal(all.begin(), all.end(), back.begin()), "it inflates to its bytes");
    inflateEnd(&z);
    return 0;
}
