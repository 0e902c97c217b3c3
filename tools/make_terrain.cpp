// make_terrain.cpp -- writes the demo's terrain.raw: 1024 x 1024 bytes of gentle rolling hills.
//
// The hills are a sum of a few long sine waves, so the file is the same on every machine and
// stays well inside 0 to 255: dark yellow hollows, bright yellow crests, slopes under the blades.
#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    const char *path = argc > 1 ? argv[1] : "terrain.raw";
    const int side = 1024;
    const double twoPi = 6.283185307179586;
    std::vector<unsigned char> samples(size_t(side) * side);
    for (int y = 0; y < side; y++) {
        for (int x = 0; x < side; x++) {
            double u = double(x) / side, v = double(y) / side;
            double h = 0.0;
            h += 0.45 * std::sin(twoPi * (1.0 * u + 0.3)) * std::cos(twoPi * (1.0 * v - 0.1));
            h += 0.30 * std::sin(twoPi * (2.0 * u + 1.0 * v + 0.7));
            h += 0.15 * std::cos(twoPi * (3.0 * v - 2.0 * u + 0.2));
            h += 0.10 * std::sin(twoPi * (5.0 * u + 0.4)) * std::sin(twoPi * (4.0 * v + 0.9));
            // h lies in -1 to 1: map it to 40 to 215.
            int value = int(std::lround(127.5 + 87.5 * h));
            samples[size_t(y) * side + x] = (unsigned char)value;
        }
    }
    FILE *file = std::fopen(path, "wb");
    if (!file) {
        std::perror(path);
        return 1;
    }
    bool written = std::fwrite(samples.data(), 1, samples.size(), file) == samples.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "%s: write failed\n", path);
        return 1;
    }
    return 0;
}
