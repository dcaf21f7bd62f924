// sync_meter: how far the picture is from the music where it is heard and
// seen, and whether that passes.
//
//   sync_meter --track Data/music.mp3 --frame-log frames.csv --seconds 17 [--source NAME]
//              [--details offsets.csv] [--median-within -5:5] [--max-p95-ms 12]
//              [--min-frames 300] [--min-matched 90] [--max-off-stretch-ms 100] [--max-jumps 0]
//              [--search-ms 200] [--settle-ms 1500] [--after-reconnect] [--save-recording FILE]
//   sync_meter --track ... --frame-log other.csv --recording FILE [limits]
//
// Records the sound server's monitor of the default sink (or --source) for
// the given seconds, stamping each block with CLOCK_MONOTONIC less the
// recording's own latency (asked of the server after every block, see
// tools/server_stream.h), so every stamp says when a sample was heard. If
// the server goes away it connects again (every 0.1 s) and records on; the
// recording's time is fitted piece by piece, so the outage is a gap in it.
// Then it reads the frame log of a run that played meanwhile, finds the
// heard track position at each frame's vblank (its swap where the log has no
// vblank) by matching the recording against the decoded track, and prints
// one line of JSON: frames compared, the median and mean of show_ms - heard
// position, the 95th percentile of its magnitude (ms), how long into the
// recording the track was first heard, the skips in the music, the sink's
// rate error (ppm) and how far the stamps stray from the fitted time.
//
// The run fails (exit 3, JSON still printed, one line on stderr saying why)
// when the recording is silent, fewer than --min-matched percent of its loud
// windows match the track, the music skipped more than --max-jumps times (its
// heard position stepped by more than 4 ms against the clock between
// neighbouring windows), fewer than
// --min-frames frames were compared, the median is outside --median-within
// LO:HI, the 95th percentile is above --max-p95-ms, or the picture stayed
// more than 40 ms from its median for longer than --max-off-stretch-ms.
// Frames and skips in the first --settle-ms of the music are not judged: a
// server's latency is misreported while a stream starts (seen here as half a
// second, to the recording and the player alike, on a busy machine).
// With --after-reconnect only the music heard after the meter's last
// reconnection is judged (a server killed and started again); the JSON then
// says when the server went and when its music was back.
// --save-recording keeps the recording and its stamps, and --recording
// measures a kept one again instead of recording (against another frame
// log of the same run, e.g. with the compositor's vblank as seen_ns).
// Exit 1 with one line on stderr when recording or reading fails.
#include <CLI/CLI.hpp>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "audio/decoded_track.h"
#include "capture/frame_log.h"
#include "tools/server_stream.h"
#include "tools/sync_alignment.h"

namespace {

constexpr int kRate = ServerStream::kRate;  // the recording's rate, and the track decoded to match
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

std::unique_ptr<ServerStream> connect(const char* source, std::string& error)
{
    auto stream = std::make_unique<ServerStream>();
    if (!stream->open(ServerStream::Direction::Record, source, kBlockFrames, error))
        return nullptr;
    return stream;
}

// When the server went away and when the meter had it back.
struct Outage {
    int64_t goneNs = 0;
    int64_t backNs = 0;
};

bool record(const char* source, double seconds, SyncInput& in, std::vector<Outage>& outages, std::string& error)
{
    auto stream = connect(source, error);
    if (!stream) {
        error = "cannot record from the sound server: " + error;
        return false;
    }
    const int64_t end = monotonicNs() + static_cast<int64_t>(seconds * 1e9);
    std::vector<float> block(kBlockFrames * 2);
    std::vector<float> stereo;
    while (monotonicNs() < end) {
        if (!stream->read(block.data(), kBlockFrames)) {
            // The server went away: what it plays when it is back is measured too.
            outages.push_back({monotonicNs(), 0});
            stream.reset();
            while (!stream && monotonicNs() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                stream = connect(source, error);
            }
            if (!stream)
                break;
            outages.back().backNs = monotonicNs();
            continue;
        }
        // The latency is the age of the next sample to be read: the one after this block.
        int64_t latencyUs = 0;
        const bool known = stream->latency(latencyUs);
        const int64_t now = monotonicNs();
        stereo.insert(stereo.end(), block.begin(), block.end());
        if (known)
            in.stamps.push_back({static_cast<int64_t>(stereo.size() / 2), now - latencyUs * 1000});
    }
    in.recording = mono(stereo);
    return true;
}

// A kept recording: a header line, then the counts, the stamps and the samples, native byte order.
constexpr char kRecordingHeader[] = "brindle sync recording 1\n";

bool saveRecording(const std::string& path, const SyncInput& in, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const uint64_t counts[2] {in.stamps.size(), in.recording.size()};
    bool ok = file && std::fputs(kRecordingHeader, file) >= 0 && std::fwrite(counts, sizeof counts, 1, file) == 1
        && std::fwrite(in.stamps.data(), sizeof(HeardStamp), in.stamps.size(), file) == in.stamps.size()
        && std::fwrite(in.recording.data(), sizeof(float), in.recording.size(), file) == in.recording.size();
    ok = file && std::fclose(file) == 0 && ok;
    if (!ok)
        error = "cannot write the recording '" + path + "'";
    return ok;
}

bool loadRecording(const std::string& path, SyncInput& in, std::string& error)
{
    error = "'" + path + "' is not a recording sync_meter kept";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    char header[sizeof kRecordingHeader] {};
    uint64_t counts[2] {};
    if (!file || std::fread(header, 1, sizeof kRecordingHeader - 1, file.get()) != sizeof kRecordingHeader - 1
        || std::string(header) != kRecordingHeader || std::fread(counts, sizeof counts, 1, file.get()) != 1
        || counts[0] > (1u << 24) || counts[1] > (1u << 30))
        return false;
    in.stamps.resize(counts[0]);
    in.recording.resize(counts[1]);
    if (std::fread(in.stamps.data(), sizeof(HeardStamp), counts[0], file.get()) != counts[0]
        || std::fread(in.recording.data(), sizeof(float), counts[1], file.get()) != counts[1])
        return false;
    error.clear();
    return true;
}

bool parseRange(const std::string& text, double& lo, double& hi)
{
    const size_t colon = text.find(':', 1);
    if (colon == std::string::npos)
        return false;
    try {
        size_t used = 0;
        lo = std::stod(text.substr(0, colon), &used);
        if (used != colon)
            return false;
        hi = std::stod(text.substr(colon + 1), &used);
        return used == text.size() - colon - 1 && lo <= hi;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string track, frameLog, source, details, medianWithin, savePath, loadPath;
    double seconds = 0.0;
    bool afterReconnect = false;
    SyncLimits limits;
    double minMatchedPercent = limits.minMatchedShare * 100.0;
    SyncInput in;
    CLI::App cli {"Measures the picture against the music heard through the sound server; exits 3 when the "
                  "figures fail the limits",
        "sync_meter"};
    cli.add_option("--track", track, "the music file the show played")->required();
    cli.add_option("--frame-log", frameLog, "the show's frame log")->required();
    auto* secondsOption = cli.add_option("--seconds", seconds, "how long to record")->check(CLI::Range(1.0, 600.0));
    cli.add_option("--recording", loadPath, "measure a recording kept with --save-recording instead of recording")
        ->excludes(secondsOption);
    cli.add_option("--save-recording", savePath, "keep the recording and its stamps in this file");
    cli.add_option("--source", source, "the source to record (default: the default sink's monitor)");
    cli.add_option("--details", details, "a CSV file for each compared frame's offset");
    cli.add_option("--median-within", medianWithin, "LO:HI, ms: the median offset must lie within");
    cli.add_option("--max-p95-ms", limits.maxP95Ms, "the largest 95th percentile of |offset| that passes");
    cli.add_option("--min-frames", limits.minFrames, "fewer frames compared fails")->capture_default_str();
    cli.add_option("--max-jumps", limits.maxJumps, "more jumps in the music fails")->capture_default_str();
    cli.add_option("--min-matched", minMatchedPercent, "percent of the loud windows that must match the track")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 100.0));
    cli.add_option("--max-off-stretch-ms", limits.maxOffStretchMs,
           "the longest time the picture may stay more than 40 ms from its median offset")
        ->capture_default_str();
    cli.add_option("--search-ms", in.searchMs, "how far from the logged show time a match is sought")
        ->capture_default_str()
        ->check(CLI::Range(10.0, 5000.0));
    in.settleMs = 1500.0;
    cli.add_option("--settle-ms", in.settleMs, "frames and skips this soon after the music is first heard are not judged")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 10000.0));
    cli.add_flag("--after-reconnect", afterReconnect,
        "judge only the music heard after the meter's last reconnection to a server that went away");
    CLI11_PARSE(cli, argc, argv);
    if (!medianWithin.empty() && !parseRange(medianWithin, limits.medianLoMs, limits.medianHiMs)) {
        std::fprintf(stderr, "sync_meter: --median-within takes LO:HI in ms, e.g. -5:5, not '%s'\n%s",
            medianWithin.c_str(), cli.help().c_str());
        return 2;
    }
    limits.minMatchedShare = minMatchedPercent / 100.0;
    if (loadPath.empty() && seconds <= 0.0) {
        std::fprintf(stderr, "sync_meter: give --seconds to record, or --recording to measure a kept recording\n%s",
            cli.help().c_str());
        return 2;
    }

    in.sampleRate = kRate;
    std::string error;
    std::vector<Outage> outages;
    if (loadPath.empty() ? !record(source.empty() ? nullptr : source.c_str(), seconds, in, outages, error)
                         : !loadRecording(loadPath, in, error))
        return fail(error);
    if (!savePath.empty() && !saveRecording(savePath, in, error))
        return fail(error);
    DecodedTrack decoded;
    if (!decodeMp3File(track, decoded, error, kRate))
        return fail(error);
    in.track = mono(decoded.samples);
    if (!readFrameLog(frameLog, in.frames, error))
        return fail(error);
    if (afterReconnect) {
        if (outages.empty() || outages.back().backNs == 0)
            return fail(outages.empty() ? "--after-reconnect: the server never went away while the meter recorded"
                                        : "--after-reconnect: the server did not come back while the meter recorded");
        in.judgeFromNs = outages.back().backNs;
    }
    const SyncFigures figures = measureSync(in);
    if (!details.empty()) {
        if (std::FILE* file = std::fopen(details.c_str(), "w")) {
            std::fprintf(file, "shown_ns,offset_ms\n");
            for (const auto& [ns, offset] : figures.offsets)
                std::fprintf(file, "%lld,%.3f\n", static_cast<long long>(ns), offset);
            std::fclose(file);
        }
    }
    std::string why;
    judgeSync(figures, limits, why);
    nlohmann::json json = nlohmann::json::parse(syncJson(figures, why));
    json["reconnects"] = outages.size();
    // From when frames were judged, on the monotonic clock and on the raw
    // one that PipeWire's log stamps: a script can tell the server's
    // glitches that fell in what was judged from the rest.
    if (figures.firstHeardNs > 0) {
        const int64_t from = figures.firstHeardNs + static_cast<int64_t>(in.settleMs * 1e6);
        timespec raw {};
        clock_gettime(CLOCK_MONOTONIC_RAW, &raw);
        json["judged_from_ns"] = from;
        json["judged_from_raw_ns"] = from + (raw.tv_sec * 1'000'000'000 + raw.tv_nsec - monotonicNs());
    }
    if (!outages.empty()) {
        const Outage& last = outages.back();
        json["server_back_after_ms"] = last.backNs ? (last.backNs - last.goneNs) / 1'000'000 : -1;
        json["music_back_after_ms"]
            = figures.firstHeardNs > 0 ? (figures.firstHeardNs - last.goneNs) / 1'000'000 : -1;
    }
    std::printf("%s\n", json.dump().c_str());
    if (!why.empty()) {
        std::fprintf(stderr, "sync_meter: %s\n", why.c_str());
        return 3;
    }
    return 0;
}
