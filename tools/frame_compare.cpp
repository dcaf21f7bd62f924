// frame_compare: how far the frames of one raw RGB stream are from another's,
// for the colour and master measurements of scripts/video-figures.sh. Both
// inputs are rgb24 frames of WIDTHxHEIGHT back to back (ffmpeg's rawvideo
// output, or PNG frames decoded the same way). One line per frame pair:
// its mean absolute error as a percentage of full scale, and its largest
// difference; then the mean and the worst over all frames, and how many were
// equal byte for byte. Exit status 1 when the streams hold different numbers
// of frames.
//
//   frame_compare 1280x720 video.rgb frames.rgb
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool readFrame(std::FILE* in, std::vector<unsigned char>& frame)
{
    return std::fread(frame.data(), 1, frame.size(), in) == frame.size();
}

}  // namespace

int main(int argc, char** argv)
{
    int width = 0, height = 0;
    if (argc != 4 || std::sscanf(argv[1], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
        std::fputs("usage: frame_compare WIDTHxHEIGHT A.rgb B.rgb\n", stderr);
        return 2;
    }
    std::FILE* a = std::fopen(argv[2], "rb");
    std::FILE* b = std::fopen(argv[3], "rb");
    if (!a || !b) {
        std::fprintf(stderr, "frame_compare: cannot read %s\n", a ? argv[3] : argv[2]);
        return 2;
    }
    const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    std::vector<unsigned char> fa(size), fb(size);
    double sum = 0.0, worst = 0.0;
    int frames = 0, equal = 0;
    for (;; ++frames) {
        const bool gotA = readFrame(a, fa), gotB = readFrame(b, fb);
        if (gotA != gotB) {
            std::fprintf(stderr, "frame_compare: %s ends at frame %d, the other goes on\n", gotA ? argv[3] : argv[2],
                frames);
            return 1;
        }
        if (!gotA)
            break;
        unsigned long long total = 0;
        int largest = 0;
        for (size_t i = 0; i < size; ++i) {
            const int d = std::abs(static_cast<int>(fa[i]) - static_cast<int>(fb[i]));
            total += static_cast<unsigned long long>(d);
            largest = d > largest ? d : largest;
        }
        const double mae = 100.0 * static_cast<double>(total) / (255.0 * static_cast<double>(size));
        std::printf("frame %d: %.3f %% mean absolute error, largest %d\n", frames, mae, largest);
        sum += mae;
        worst = mae > worst ? mae : worst;
        equal += total == 0;
    }
    std::printf("%d frames: mean %.3f %%, worst %.3f %%, %d equal\n", frames, frames ? sum / frames : 0.0, worst, equal);
    return 0;
}
