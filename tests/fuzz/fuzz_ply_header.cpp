// fuzz_ply_header: any bytes through the renaming of a PLY vertex's diffuse colours. Nothing may crash or read
// past the bytes; the result is the bytes with some `diffuse_` prefixes of colour names taken out and nothing
// else changed, never longer; and renaming the result again changes nothing.
#include "import/PlyHeader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> renamed(const std::vector<unsigned char>& bytes)
{
    std::vector<unsigned char> copy = bytes;
    const size_t length = import::plyDiffuseAsVertexColours(copy.data(), copy.size());
    if (length > copy.size())
        std::abort();
    copy.resize(length);
    return copy;
}

bool startsWith(const std::vector<unsigned char>& bytes, size_t at, const char* text)
{
    const size_t length = std::strlen(text);
    return at + length <= bytes.size() && std::memcmp(bytes.data() + at, text, length) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<unsigned char> input(data, data + size);
    const std::vector<unsigned char> once = renamed(input);
    // Only whole `diffuse_` prefixes of the four colour names go.
    size_t in = 0;
    size_t out = 0;
    while (in < input.size()) {
        if (out < once.size() && input[in] == once[out]) {
            ++in;
            ++out;
            continue;
        }
        if (!startsWith(input, in, "diffuse_"))
            std::abort();
        in += 8;
        if (!startsWith(input, in, "red") && !startsWith(input, in, "green") && !startsWith(input, in, "blue") &&
            !startsWith(input, in, "alpha"))
            std::abort();
    }
    if (out != once.size())
        std::abort();
    if (renamed(once) != once)
        std::abort();
    return 0;
}
