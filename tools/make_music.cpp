// make_music: renders the show's track and encodes it to MP3.
//
//     make_music <music.mp3> <kick-onsets.txt>
//
// The onset list (one kick time in milliseconds per line) stays in the build
// tree for the beat tests; only the MP3 belongs in Data/. Both files are
// written under a temporary name and renamed when complete, so an interrupted
// run never leaves a truncated track that looks finished.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/mp3_writer.h"
#include "tools/track_arrangement.h"

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "make_music: %s\n", message.c_str());
    return 1;
}

bool writeOnsets(const std::string& path, const std::vector<int64_t>& onsetsMs, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": cannot create";
        return false;
    }
    bool ok = std::fprintf(file, "# kick onsets of music.mp3 in milliseconds\n") > 0;
    for (int64_t ms : onsetsMs)
        ok = ok && std::fprintf(file, "%lld\n", static_cast<long long>(ms)) > 0;
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        error = path + ": write failed";
    return ok;
}

bool replace(const std::string& from, const std::string& to, std::string& error)
{
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    if (ec)
        error = to + ": cannot rename from " + from + " (" + ec.message() + ")";
    return !ec;
}

struct Levels {
    double peakDb, rmsDb;
};

// Peak over all samples; RMS over the frames between the opening and the fade.
Levels measure(const StereoBuffer& audio)
{
    double peak = 0.0, sum = 0.0;
    int64_t counted = 0;
    for (int64_t i = 0; i < audio.frames(); ++i) {
        const double l = audio.left[static_cast<size_t>(i)], r = audio.right[static_cast<size_t>(i)];
        peak = std::max(peak, std::max(std::fabs(l), std::fabs(r)));
        if (i >= secondsToFrames(4.0) && i < secondsToFrames(130.0)) {
            sum += 0.5 * (l * l + r * r);
            ++counted;
        }
    }
    return {20.0 * std::log10(std::max(peak, 1e-9)),
        10.0 * std::log10(std::max(sum / std::max<int64_t>(counted, 1), 1e-18))};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return fail("usage: make_music <music.mp3> <kick-onsets.txt>");
    const std::string mp3Path = argv[1], onsetsPath = argv[2];
    const auto started = std::chrono::steady_clock::now();
    std::error_code ec;
    for (const std::string& path : {mp3Path, onsetsPath}) {
        const auto parent = std::filesystem::path(path).parent_path();
        if (!parent.empty())
            std::filesystem::create_directories(parent, ec);
        if (ec)
            return fail("cannot create " + parent.string() + " (" + ec.message() + ")");
    }

    const RenderedTrack track = renderShowTrack();
    const double rendered = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::string error;
    const std::string mp3Part = mp3Path + ".part", onsetsPart = onsetsPath + ".part";
    const bool written = writeMp3File(mp3Part, track.audio, Mp3Settings {}, error)
        && writeOnsets(onsetsPart, track.kickOnsetsMs, error) && replace(mp3Part, mp3Path, error)
        && replace(onsetsPart, onsetsPath, error);
    if (!written) {
        std::filesystem::remove(mp3Part, ec);
        std::filesystem::remove(onsetsPart, ec);
        return fail(error);
    }

    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const Levels levels = measure(track.audio);
    std::printf("make_music: wrote %s (%.1f s, 44100 Hz stereo, 192 kbit/s; peak %.2f dBFS, RMS %.1f dBFS)\n",
        mp3Path.c_str(), static_cast<double>(track.audio.frames()) / kSampleRate, levels.peakDb, levels.rmsDb);
    std::printf("make_music: wrote %s (%zu kick onsets)\n", onsetsPath.c_str(), track.kickOnsetsMs.size());
    std::printf("make_music: synthesis %.2f s, total %.2f s\n", rendered, total);
    return 0;
}
