// The floor of a --render's file: the same bytes written through the same
// staged file (write, sync, rename, folder sync) by a process that does nothing else.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/StagedFile.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: nivo_staged_copy SOURCE TARGET\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return StagedFile::Store(argv[2], bytes.data(), bytes.size()) == 0 ? 0 : 1;
}
