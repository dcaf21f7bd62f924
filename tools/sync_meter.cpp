// sync_meter: how far the picture is from the music where it is heard.
//
//   sync_meter --track Data/music.mp3 --frame-log frames.csv --seconds 17 [--source NAME]
//              [--details offsets.csv]
//
// Records the sound server's monitor of the default sink (or --source) for
// the given seconds, stamping each block with CLOCK_MONOTONIC less the
// recording's own latency, so every stamp says when a sample was heard. Then
// it reads the frame log of a run that played meanwhile, finds the heard track
// position at each frame's swap by matching the recording against the decoded
// track, and prints one line of JSON: frames compared, the median and mean of
// show_ms - heard position, the 95th percentile of its magnitude (ms), and
// how long into the recording the track was first heard.
// Exit 1 with one line on stderr when recording or reading fails.
#include <CLI/CLI.hpp>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_log.h"
#include "audio/decoded_track.h"
#include "tools/sync_alignment.h"

namespace {

constexpr int kRate = 44100;
constexpr size_t kBlockFrames = 441;  // 10 ms: a stamp per block

int fail(const std::string& why)
{
    std::fprintf(stderr, "sync_meter: %s\n", why.c_str());
    return 1;
}

std::vector<float> mono(const std::vector<float>& stereo)
{
    std::vector<float> out(stereo.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    return out;
}

struct SimpleCloser {
    void operator()(pa_simple* s) const { pa_simple_free(s); }
};

bool record(const char* source, double seconds, SyncInput& in, std::string& error)
{
    const pa_sample_spec format {PA_SAMPLE_FLOAT32LE, kRate, 2};
    pa_buffer_attr attr {};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(kBlockFrames * 2 * sizeof(float));
    int code = 0;
    std::unique_ptr<pa_simple, SimpleCloser> stream(pa_simple_new(
        nullptr, "brindle sync meter", PA_STREAM_RECORD, source, "monitor", &format, nullptr, &attr, &code));
    if (!stream) {
        error = std::string("cannot record from the sound server: ") + pa_strerror(code);
        return false;
    }
    std::vector<float> block(kBlockFrames * 2);
    std::vector<float> stereo;
    const auto blocks = static_cast<size_t>(seconds * kRate / kBlockFrames);
    for (size_t b = 0; b < blocks; ++b) {
        if (pa_simple_read(stream.get(), block.data(), block.size() * sizeof(float), &code) < 0) {
            error = std::string("recording stopped: ") + pa_strerror(code);
            return false;
        }
        const int64_t now = monotonicNs();
        // The latency is the age of the next sample to be read: the one after this block.
        const pa_usec_t latency = pa_simple_get_latency(stream.get(), &code);
        stereo.insert(stereo.end(), block.begin(), block.end());
        in.stamps.push_back({static_cast<int64_t>(stereo.size() / 2), now - static_cast<int64_t>(latency) * 1000});
    }
    in.recording = mono(stereo);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string track, frameLog, source, details;
    double seconds = 0.0;
    CLI::App cli {"Measures the picture against the music heard through the sound server", "sync_meter"};
    cli.add_option("--track", track, "the music file the show played")->required();
    cli.add_option("--frame-log", frameLog, "the show's frame log")->required();
    cli.add_option("--seconds", seconds, "how long to record")->required()->check(CLI::Range(1.0, 600.0));
    cli.add_option("--source", source, "the source to record (default: the default sink's monitor)");
    cli.add_option("--details", details, "a CSV file for each compared frame's offset");
    CLI11_PARSE(cli, argc, argv);

    SyncInput in;
    in.sampleRate = kRate;
    std::string error;
    if (!record(source.empty() ? nullptr : source.c_str(), seconds, in, error))
        return fail(error);
    DecodedTrack decoded;
    if (!decodeMp3File(track, decoded, error, kRate))
        return fail(error);
    in.track = mono(decoded.samples);
    if (!readFrameLog(frameLog, in.frames, error))
        return fail(error);
    const SyncFigures figures = measureSync(in);
    if (!details.empty()) {
        if (std::FILE* file = std::fopen(details.c_str(), "w")) {
            std::fprintf(file, "swap_ns,offset_ms\n");
            for (const auto& [ns, offset] : figures.offsets)
                std::fprintf(file, "%lld,%.3f\n", static_cast<long long>(ns), offset);
            std::fclose(file);
        }
    }
    std::printf("%s\n", syncJson(figures).c_str());
    return 0;
}
