// music_report: the figures by which a change to the show's track is judged.
//
//     music_report <music.mp3> <kick-onsets.txt>
//
// Prints how far the music swings the plus field's sprite sizes over 4-20 s
// and 20-27 s (see plus_size_spread.h; 0.5 or more is wanted) and how well the
// show's beat detector finds the kicks between 20 and 122 s (see beat_match.h;
// at least 95 % hit within one frame, at most 5 % stray beat frames).
#include <cstdio>
#include <string>
#include <vector>

#include "audio/decoded_track.h"
#include "tools/beat_match.h"
#include "tools/plus_size_spread.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "music_report: usage: music_report <music.mp3> <kick-onsets.txt>\n");
        return 1;
    }
    DecodedTrack track;
    std::string error;
    if (!decodeMp3File(argv[1], track, error)) {
        std::fprintf(stderr, "music_report: %s\n", error.c_str());
        return 1;
    }
    std::vector<int64_t> onsets;
    if (!readKickOnsets(argv[2], onsets)) {
        std::fprintf(stderr, "music_report: %s: cannot read the kick onsets\n", argv[2]);
        return 1;
    }
    std::printf("plus field size spread: %.2f over 4-20 s, %.2f over 20-27 s\n", plusSizeSpread(track, 4000, 20000),
        plusSizeSpread(track, 20000, 27000));
    const BeatMatch match = matchBeatsToKicks(track, onsets, 20000, 122000);
    std::printf("beats 20-122 s: %d of %d kicks hit (%.1f %%), %d of %d beat frames stray (%.1f %%)\n", match.hits,
        match.kicks, 100.0 * match.hitRate(), match.strayFrames, match.beatFrames, 100.0 * match.strayRate());
    for (int64_t ms : match.missedKicksMs)
        std::printf("  missed kick at %lld ms\n", static_cast<long long>(ms));
    for (int64_t ms : match.strayBeatsMs)
        std::printf("  stray beat at %lld ms\n", static_cast<long long>(ms));
    return 0;
}
