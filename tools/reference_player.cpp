// reference_player: the sync meter's floor. Plays the track from a show time
// and logs, in the frame log's format, the heard position as the server
// itself gives it (what was written less the server's latency), 100 times a
// second; the meter then measures this log as it measures the show's.
//
//   reference_player --track Data/music.mp3 --from 20000 --seconds 15 --frame-log ref.csv
#include <CLI/CLI.hpp>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <cstdio>
#include <memory>
#include <string>

#include "audio/decoded_track.h"
#include "capture/frame_log.h"

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
    constexpr int kRate = 44100;
    constexpr size_t kChunk = 441;  // 10 ms
    DecodedTrack decoded;
    std::string error;
    FrameLog log;
    if (!decodeMp3File(track, decoded, error, kRate) || !log.open(logPath, error)) {
        std::fprintf(stderr, "reference_player: %s\n", error.c_str());
        return 1;
    }
    const pa_sample_spec format {PA_SAMPLE_FLOAT32LE, kRate, 2};
    pa_buffer_attr attr {static_cast<uint32_t>(-1), kRate / 20 * 8, static_cast<uint32_t>(-1),
        static_cast<uint32_t>(-1), static_cast<uint32_t>(-1)};
    int code = 0;
    std::unique_ptr<pa_simple, void (*)(pa_simple*)> out(pa_simple_new(nullptr, "brindle reference player",
        PA_STREAM_PLAYBACK, nullptr, "music", &format, nullptr, &attr, &code), pa_simple_free);
    if (!out) {
        std::fprintf(stderr, "reference_player: %s\n", pa_strerror(code));
        return 1;
    }
    const auto first = static_cast<size_t>(fromMs * kRate / 1000.0);
    const size_t last = std::min(decoded.frames(), first + static_cast<size_t>(seconds * kRate));
    for (size_t at = first; at + kChunk <= last; at += kChunk) {
        if (pa_simple_write(out.get(), &decoded.samples[at * 2], kChunk * 2 * sizeof(float), &code) < 0)
            break;
        const pa_usec_t latency = pa_simple_get_latency(out.get(), &code);
        const int64_t now = monotonicNs();
        const double heardMs = static_cast<double>(at + kChunk) * 1000.0 / kRate - static_cast<double>(latency) / 1000.0;
        if (heardMs >= fromMs && !log.add(heardMs, now, false, error))
            break;
    }
    return 0;
}
