// Reads a screenshot of sdl_touch_paint (8-bit RGB PNG in stored deflate
// blocks, as its writer makes them), checks every CRC, the zlib framing and
// the Adler-32, and counts the painted pixels: those with colour (channels
// more than 64 apart), which only touch points and trails have; the
// background and the text are grey.
//   count_painted_pixels FILE.png MINIMUM
// Exit status 0 when at least MINIMUM pixels are painted, 1 otherwise or
// when the file is not such a PNG.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t BigEndian(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = ~0u;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

int Fail(const char* why) {
    std::fprintf(stderr, "count_painted_pixels: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Fail("usage: count_painted_pixels FILE.png MINIMUM");
    std::ifstream in(argv[1], std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const Bytes signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || !std::equal(signature.begin(), signature.end(), file.begin())) return Fail("not a PNG file");

    std::uint32_t width = 0, height = 0;
    Bytes zlib;
    bool ended = false;
    for (std::size_t at = 8; !ended;) {
        if (at + 12 > file.size()) return Fail("a chunk runs past the end");
        const std::uint32_t size = BigEndian(file, at);
        if (size > file.size() - at - 12) return Fail("a chunk runs past the end");
        const std::string type(file.begin() + at + 4, file.begin() + at + 8);
        if (Crc32(&file[at + 4], size + 4) != BigEndian(file, at + 8 + size)) return Fail("bad chunk CRC");
        const std::uint8_t* data = &file[at + 8];
        if (type == "IHDR") {
            if (size != 13) return Fail("bad IHDR");
            width = BigEndian(file, at + 8), height = BigEndian(file, at + 12);
            if (data[8] != 8 || data[9] != 2 || data[12] != 0) return Fail("not 8-bit RGB without interlace");
        } else if (type == "IDAT") {
            zlib.insert(zlib.end(), data, data + size);
        }
        ended = type == "IEND";
        at += 12 + size;
    }
    if (width == 0 || height == 0 || width > 16384 || height > 16384) return Fail("bad or missing size");

    // zlib: header, then stored blocks only, then the Adler-32 of the data.
    if (zlib.size() < 6 || zlib[0] != 0x78 || (zlib[0] * 256 + zlib[1]) % 31 != 0) return Fail("bad zlib header");
    Bytes raw;
    std::size_t at = 2;
    for (bool last = false; !last;) {
        if (at + 5 > zlib.size()) return Fail("deflate data cut short");
        if ((zlib[at] & 0x06) != 0) return Fail("a compressed deflate block (only stored blocks are read)");
        last = zlib[at] & 1;
        const std::size_t size = zlib[at + 1] | zlib[at + 2] << 8;
        if ((size ^ (zlib[at + 3] | zlib[at + 4] << 8)) != 0xFFFF) return Fail("bad stored block length");
        if (at + 5 + size > zlib.size()) return Fail("a stored block runs past the end");
        raw.insert(raw.end(), zlib.begin() + at + 5, zlib.begin() + at + 5 + size);
        at += 5 + size;
    }
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
    if (at + 4 != zlib.size() || BigEndian(zlib, at) != (b << 16 | a)) return Fail("bad Adler-32");

    const std::size_t row_bytes = std::size_t(width) * 3 + 1;
    if (raw.size() != row_bytes * height) return Fail("the data does not hold width x height pixels");
    long painted = 0;
    for (std::size_t y = 0; y < height; ++y) {
        if (raw[y * row_bytes] != 0) return Fail("a row filter other than none");
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t* p = &raw[y * row_bytes + 1 + x * 3];
            const int high = std::max({p[0], p[1], p[2]}), low = std::min({p[0], p[1], p[2]});
            painted += high - low > 64;
        }
    }
    const long minimum = std::atol(argv[2]);
    std::printf("%ux%u, %ld painted pixels (at least %ld wanted)\n", width, height, painted, minimum);
    return painted >= minimum ? 0 : 1;
}
