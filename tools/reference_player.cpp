// reference_player: the sync meter's floor. Plays the track from a show time
// and logs, in the frame log's format, the heard position as the server
// itself gives it (what was written less the server's latency), 100 times a
// second; the meter then measures this log as it measures the show's.
//
//   reference_player --track Data/music.mp3 --from 20000 --seconds 15 --frame-log ref.csv
//
// The latency is asked of the server after every write (see server_stream.h).
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <string>

#include "audio/decoded_track.h"
#include "capture/frame_log.h"
#include "tools/server_stream.h"

int main(int argc, char** argv)
{
    std::string track, logPath;
    double fromMs = 0.0, seconds = 0.0;
    CLI::App cli {"Plays the track and logs the heard position the server gives", "reference_player"};
    cli.add_option("--track", track, "the music file")->required();
    cli.add_option("--frame-log", logPath, "where the log goes")->required();
    cli.add_option("--from", fromMs, "the track time to start at, ms");
    cli.add_option("--seconds", seconds, "how long to play")->required()->check(CLI::Range(0.1, 600.0));
    CLI11_PARSE(cli, argc, argv);
    constexpr size_t kChunk = 441;  // 10 ms
    DecodedTrack decoded;
    std::string error;
    FrameLog log;
    ServerStream out;
    constexpr int kRate = ServerStream::kRate;
    if (!decodeMp3File(track, decoded, error, kRate) || !log.open(logPath, error)
        || !out.open(ServerStream::Direction::Play, nullptr, 0, error)) {
        std::fprintf(stderr, "reference_player: %s\n", error.c_str());
        return 1;
    }
    const auto first = static_cast<size_t>(fromMs * kRate / 1000.0);
    const size_t last = std::min(decoded.frames(), first + static_cast<size_t>(seconds * kRate));
    for (size_t at = first; at + kChunk <= last; at += kChunk) {
        if (!out.write(&decoded.samples[at * 2], kChunk)) {
            std::fprintf(stderr, "reference_player: the sound server went away\n");
            return 1;
        }
        int64_t latencyUs = 0;
        if (!out.latency(latencyUs))
            continue;
        const int64_t now = monotonicNs();
        const double heardMs = static_cast<double>(at + kChunk) * 1000.0 / kRate - static_cast<double>(latencyUs) / 1000.0;
        if (heardMs >= fromMs && !log.add(heardMs, now, false, error))
            break;
    }
    return 0;
}
