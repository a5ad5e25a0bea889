// Writes the bundled colour map uicolorm.cmp: a 64-byte header, then 256 red, green, blue
// entries. Entries 0 to 31 are never chosen for a MAT pixel, so they stay black; entries 32
// to 247 hold a 6 x 6 x 6 colour cube and 248 to 255 a ramp of eight greys that fall between
// the cube's own six greys. The output is the same on every run.
//
// Usage: make_colour_map OUTPUT.cmp
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kCubeSteps = 6;
constexpr int kCubeFirst = 32;
constexpr int kGreyFirst = kCubeFirst + kCubeSteps * kCubeSteps * kCubeSteps;  // 248
constexpr int kGreySteps = 8;

std::vector<uint8_t> ColourMapBytes() {
    std::vector<uint8_t> bytes(64 + 768, 0);
    const char tag[] = "Kesh colour map: 6x6x6 cube and 8 greys";
    std::memcpy(bytes.data(), tag, sizeof tag - 1);
    uint8_t* entries = bytes.data() + 64;
    int i = kCubeFirst;
    for (int r = 0; r < kCubeSteps; ++r) {
        for (int g = 0; g < kCubeSteps; ++g) {
            for (int b = 0; b < kCubeSteps; ++b, ++i) {
                entries[3 * i] = static_cast<uint8_t>(r * 51);
                entries[3 * i + 1] = static_cast<uint8_t>(g * 51);
                entries[3 * i + 2] = static_cast<uint8_t>(b * 51);
            }
        }
    }
    // Greys k * 255 / 9 for k = 1 .. 8, rounded: 28, 57, 85, 113, 142, 170, 198, 227.
    for (int k = 1; k <= kGreySteps; ++k) {
        uint8_t grey = static_cast<uint8_t>((k * 255 * 2 + 9) / 18);
        int entry = kGreyFirst + k - 1;
        entries[3 * entry] = entries[3 * entry + 1] = entries[3 * entry + 2] = grey;
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_NUMERIC, "C");
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_colour_map OUTPUT.cmp\n");
        return 2;
    }
    std::vector<uint8_t> bytes = ColourMapBytes();
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "%s: write failed\n", argv[1]);
        return 1;
    }
    return 0;
}
