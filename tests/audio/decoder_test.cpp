// The track decoders: reads anywhere in a file, and missing or broken files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "audio/decoded_track.h"
#include "audio/track_source.h"
#include "test_tracks.h"

namespace {

// A module from Debian's tecnoballz-data package: written by others, in a
// format our own tests do not produce (samples, effects, several channels).
const std::string kThirdPartyModule = "/usr/share/games/tecnoballz/musics/tecnoballz.mod";

}  // namespace

// The stream the show plays from, read the ways playback, the spectrum and a
// late capture read it, against a whole-file decode of the same file. A mono
// file at another rate becomes stereo at 44100 either way.
TEST(TrackWindow, ReadsAnywhereGiveTheWholeFileDecodeInStereoAt44100)
{
    const std::string whole = tempPath("window.mp3"), cut = tempPath("window-cut.mp3"), mono = tempPath("mono22.mp3");
    ASSERT_TRUE(writeMp3(whole, sine(440.0, 44100, 3 * 44100, 0.8f), 44100, 2));
    ASSERT_TRUE(writeMp3(mono, sine(440.0, 22050, 22050, 0.8f), 22050, 1));
    const DecodedTrack resampled = decodeOrFail(mono);
    EXPECT_NEAR(static_cast<double>(resampled.frames()), 44100.0, 300.0);
    EXPECT_FLOAT_EQ(resampled.samples[10000], resampled.samples[10001]);
    std::filesystem::copy_file(whole, cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    // Garbage in the middle: both paths must resynchronise the same way.
    const std::string damaged = tempPath("window-damaged.mp3");
    std::filesystem::copy_file(whole, damaged, std::filesystem::copy_options::overwrite_existing);
    std::fstream(damaged, std::ios::in | std::ios::out | std::ios::binary)
        .seekp(static_cast<std::streamoff>(std::filesystem::file_size(whole) / 2))
        .write(std::string(3000, '\xFF').data(), 3000);
    std::vector<std::pair<std::string, bool>> tracks = {{whole, false}, {cut, false}, {damaged, false}, {mono, false}};
    if (std::filesystem::exists(kThirdPartyModule))
        tracks.emplace_back(kThirdPartyModule, true);

    for (const auto& [path, isModule] : tracks) {
        const DecodedTrack reference = decodeOrFail(path, isModule);
        const auto length = static_cast<int64_t>(reference.frames());
        const TrackOpener open = isModule ? moduleOpener(path, 44100) : mp3Opener(path, 44100);
        std::string error;
        TrackWindow window(open(error), open);
        const auto expect = [&](int64_t first, size_t count) {
            std::vector<float> got(count * 2, -1.0f), want(count * 2, 0.0f);
            window.read(first, count, got.data());
            for (int64_t f = std::max<int64_t>(first, 0); f < std::min<int64_t>(first + count, length); ++f) {
                want[(f - first) * 2] = reference.samples[f * 2];
                want[(f - first) * 2 + 1] = reference.samples[f * 2 + 1];
            }
            return got == want;
        };
        // Spectrum windows trailing playback from before the start to past the
        // end, then jumps back (decoded afresh), forward and across.
        for (int64_t end = 0; end < length + 4096; end += 735)
            ASSERT_TRUE(expect(end - 2048, 2048)) << path << " " << end;
        for (int64_t first : {int64_t {-700}, length / 2, length / 2 + 12000, int64_t {100}, length - 500, int64_t {0}})
            EXPECT_TRUE(expect(first, 30000)) << path << " at " << first;
        EXPECT_LE(window.decodedFrames(), 30000 + 4096) << path << ": the last read went back to the start";
        // A fresh window whose first read is far in, as a late start's.
        window = TrackWindow(open(error), open);
        EXPECT_TRUE(expect(length - 30000, 4096)) << path << " late";
    }
}

TEST(TrackDecoders, MissingCorruptAndNonFilesFailWithALineNamingTheFile)
{
    const std::string missing = tempPath("no-such-music.mp3"), corrupt = tempPath("corrupt.mp3");
    const std::string corruptModule = tempPath("corrupt.xm");
    std::ofstream(corrupt) << std::string(20000, 'x');
    std::ofstream(corruptModule) << std::string(30, 'x');
    // Formats people try first, each named by its own signature.
    const std::string wav = tempPath("take.wav"), ogg = tempPath("take.ogg"), flac = tempPath("take.flac");
    for (const auto& [path, head] : {std::pair {wav, "RIFF\0\0\0\0WAVEfmt "}, {ogg, "OggS"}, {flac, "fLaC"}})
        std::ofstream(path).write(head, path == wav ? 16 : 4);
    for (const auto& [path, module, words] : std::vector<std::tuple<std::string, bool, const char*>> {
             {missing, true, "not found"}, {corrupt, false, "MP3"}, {corruptModule, true, "tracker module"},
             {std::filesystem::temp_directory_path(), true, "not a regular file"}, {wav, false, "is WAV audio"},
             {ogg, true, "is Ogg audio"}, {flac, false, "is FLAC audio"}}) {
        DecodedTrack track;
        track.samples.assign(10, 1.0f);
        std::string error;
        EXPECT_FALSE(module ? decodeModuleFile(path, track, error) : decodeMp3File(path, track, error)) << path;
        EXPECT_TRUE(track.samples.empty()) << path;
        EXPECT_NE(error.find("'" + path + "'"), std::string::npos) << error;
        EXPECT_NE(error.find(words), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}
