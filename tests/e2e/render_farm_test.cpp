// scripts/render-farm.sh over real SSH: each login starts an sshd of its own,
// with a host key and a user key made for the run, on the connection itself;
// it serves two host names (farm-a, farm-b) and one that offers a key it
// refuses (farm-refused). The hosts run a stand-in for brindle that notes each
// capture it is asked for and runs the real program, but, told so by a file,
// kills one capture once it has drawn a frame, or holds one until it is stopped.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <set>

#include "tests/support/process.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const std::string kProgram = BRINDLE_PROGRAM;
const std::string kData = BRINDLE_TEST_DATA_DIR;
const std::string kFarm = BRINDLE_FARM_SCRIPT;
// The first banner's fade out, 16 frames: four segments of four.
const std::vector<std::string> kSpan = {"--size", "160x100", "--fps", "10", "--from", "44600", "--to", "46200"};
const std::vector<std::string> kSegments = {"44600-45000", "45000-45400", "45400-45800", "45800-46200"};

// A video's music as raw float samples.
std::string music(const fs::path& video)
{
    return runProcess("ffmpeg", {"-v", "error", "-i", video.string(), "-map", "0:a", "-f", "f32le", "-"}).out;
}

class RenderFarm : public ::testing::Test {
protected:
    // One capture of the span in one process, which every farm must give again.
    static void SetUpTestSuite()
    {
        ScratchDir scratch("farm-reference");
        const fs::path video = scratch.path() / "reference.mkv";
        std::vector<std::string> args = {"--capture", video.string(), "--lossless", "--data", kData};
        args.insert(args.end(), kSpan.begin(), kSpan.end());
        const ProcessResult r = runProcess(kProgram, args, {"SDL_VIDEODRIVER=offscreen"}, 240);
        ASSERT_EQ(r.status, 0) << r.err;
        referenceFrames_ = decodedFrames({"-i", video.string()});
        referenceMusic_ = music(video);
        ASSERT_EQ(referenceFrames_.size(), 16u * 160 * 100 * 3);
        ASSERT_FALSE(referenceMusic_.empty());
    }

    void SetUp() override
    {
        if (mkdir("/run/sshd", 0755) != 0 && errno != EEXIST)
            GTEST_SKIP() << "sshd needs /run/sshd, which only root can make";
        const fs::path d = dir_.path();
        for (const char* key : {"host", "user", "wrong"})
            ASSERT_EQ(runProcess("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", (d / key).string()}).status, 0);
        fs::copy_file(d / "user.pub", d / "authorized_keys");
        // Root logs in (CI runs as root) with the run's key only; the
        // sanitizers' settings reach the captures the hosts run.
        std::ofstream(d / "sshd_config") <<
            "HostKey " + (d / "host").string() + "\nPidFile none\nAuthorizedKeysFile "
                + (d / "authorized_keys").string()
                + "\nPermitRootLogin prohibit-password\nUsePAM no\nStrictModes no\nLogLevel ERROR\n"
                  "AcceptEnv ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS\n";
        std::ofstream(d / "ssh_config") <<
            "Host farm-refused\n  IdentityFile " + (d / "wrong").string() + "\nHost farm-a farm-b\n  IdentityFile "
                + (d / "user").string() + "\nHost *\n  ProxyCommand /usr/sbin/sshd -i -f "
                + (d / "sshd_config").string()
                + "\n  HostKeyAlias farm\n  User root\n  IdentitiesOnly yes\n  BatchMode yes\n"
                  "  StrictHostKeyChecking yes\n  UserKnownHostsFile "
                + (d / "known_hosts").string()
                + "\n  LogLevel ERROR\n  SendEnv ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS\n";
        std::ofstream(d / "known_hosts") << "farm " + bytesOf(d / "host.pub");

        // The stand-in for brindle on the hosts: `--capture OUT --lossless --from A --to B ...`.
        std::ofstream(d / "brindle") <<
            "#!/bin/sh\nrules=" + d.string() + "\nspan=\"$5-$7\"\n"
            "echo \"$span $PARALLEL_SSHLOGIN\" >>\"$rules/attempts\"\n"
            "if [ -e \"$rules/hold-$span\" ]; then echo $$ >\"$rules/held\"; exec sleep 300; fi\n"
            "if [ -e \"$rules/kill-$span\" ]; then\n"
            "  rm \"$rules/kill-$span\"\n"
            "  " + kProgram + " \"$@\" --data " + kData + " 2>\"$rules/killed.err\" & pid=$!\n"
            "  while kill -0 $pid 2>/dev/null && ! grep -q 'frames (' \"$rules/killed.err\"; do sleep 0.1; done\n"
            // A capture that finished first is killed all the same, with its file complete.
            "  kill -TERM $pid; wait $pid; status=$?; [ $status = 0 ] && kill -TERM $$; exit $status\n"
            "fi\n"
            "exec " + kProgram + " \"$@\" --data " + kData + "\n";
        fs::permissions(d / "brindle", fs::perms::owner_all);
        fs::create_directory(d / "out");
    }

    Process start(const std::vector<std::string>& hosts, const std::vector<std::string>& extra = {})
    {
        std::string lines;
        for (const std::string& host : hosts)
            lines += host + "\n";
        std::ofstream(dir_.path() / "hosts") << lines;
        std::vector<std::string> args = {"--hosts", (dir_.path() / "hosts").string(), "--jobs", "4", "--program",
            (dir_.path() / "brindle").string()};
        args.insert(args.end(), kSpan.begin(), kSpan.end());
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back((dir_.path() / "out" / "show.mp4").string());
        return Process(kFarm, args, {"PARALLEL_SSH=ssh -F " + (dir_.path() / "ssh_config").string()});
    }

    // "span host" for each capture the hosts were asked for, in order.
    std::vector<std::string> attempts() const { return splitLines(bytesOf(dir_.path() / "attempts")); }
    fs::path work() const { return dir_.path() / "out" / ".show.mp4.farm-160x100-10"; }
    fs::path master() const { return dir_.path() / "out" / "show.master.mkv"; }

    void expectTheOneProcessCapture()
    {
        EXPECT_TRUE(decodedFrames({"-i", master().string()}) == referenceFrames_)
            << "the master's frames are not the one capture's";
        EXPECT_TRUE(music(master()) == referenceMusic_) << "the master's music is not the one capture's";
        const ProcessResult probed = runProcess("ffprobe",
            {"-v", "error", "-count_frames", "-show_streams", "-of", "json", (dir_.path() / "out" / "show.mp4").string()});
        const json streams = json::parse(probed.out, nullptr, false)["streams"];
        ASSERT_TRUE(streams.is_array() && streams.size() == 2) << probed.out;
        EXPECT_EQ(streams[0].value("nb_read_frames", ""), "16");
        EXPECT_EQ(streams[0].value("color_space", ""), "bt709");
        EXPECT_EQ(streams[0].value("color_primaries", ""), "bt709");
        EXPECT_EQ(streams[1].value("codec_type", ""), "audio");
        EXPECT_FALSE(fs::exists(work())) << "the segments outlived the video";
    }

    static inline std::string referenceFrames_, referenceMusic_;
    ScratchDir dir_ {"farm"};
};

}  // namespace

TEST_F(RenderFarm, TwoHostsGiveTheOneProcessCaptureAndAKilledJobIsRetriedElsewhere)
{
    std::ofstream(dir_.path() / ("kill-" + kSegments[1])) << "";
    const ProcessResult r = start({"farm-a", "farm-b"}).finish(280);
    ASSERT_EQ(r.status, 0) << r.err;
    expectTheOneProcessCapture();
    std::set<std::string> hostsOfKilled;
    for (const std::string& attempt : attempts())
        if (attempt.rfind(kSegments[1] + " ", 0) == 0)
            hostsOfKilled.insert(attempt.substr(kSegments[1].size() + 1));
    EXPECT_EQ(hostsOfKilled, (std::set<std::string> {"farm-a", "farm-b"})) << bytesOf(dir_.path() / "attempts");
}

TEST_F(RenderFarm, AStoppedRunGoesOnWithoutCapturingAgainWhatItFinished)
{
    std::ofstream(dir_.path() / ("hold-" + kSegments[3])) << "";
    Process farm = start({"farm-a", "farm-b"});
    const auto finished = [&] {
        const auto done = [&](const std::string& span) { return fs::exists(work() / ("segment-" + span + ".mkv")); };
        return fs::exists(dir_.path() / "held") && std::all_of(kSegments.begin(), kSegments.begin() + 3, done);
    };
    ASSERT_TRUE(pollUntil(240, finished)) << farm.errSoFar();
    farm.signal(SIGINT);
    const ProcessResult stopped = farm.finish(60);
    EXPECT_EQ(stopped.status, 130) << stopped.err;
    EXPECT_NE(stopped.err.find("stopped"), std::string::npos) << stopped.err;
    const pid_t held = std::stoi(bytesOf(dir_.path() / "held"));
    EXPECT_TRUE(pollUntil(10, [held] { return kill(held, 0) != 0; })) << "the held capture outlived the stop";

    const size_t before = attempts().size();
    fs::remove(dir_.path() / ("hold-" + kSegments[3]));
    const ProcessResult resumed = start({"farm-a", "farm-b"}).finish(280);
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    const std::vector<std::string> all = attempts();
    for (size_t i = before; i < all.size(); ++i)
        for (size_t done = 0; done < 3; ++done)
            EXPECT_NE(all[i].rfind(kSegments[done] + " ", 0), 0u) << "captured again: " << all[i];
    expectTheOneProcessCapture();
}

TEST_F(RenderFarm, AHostThatRefusesIsNamedOnOneLineAndTheOtherHostsWorkIsKept)
{
    // One try per job, so what went to the refusing host stays undone.
    const ProcessResult r = start({"farm-a", "farm-refused"}, {"--retries", "1"}).finish(280);
    EXPECT_EQ(r.status, 1) << r.err;
    std::vector<std::string> ours = splitLines(r.err);
    std::erase_if(ours, [](const std::string& line) { return !line.starts_with("render-farm.sh: "); });
    ASSERT_EQ(ours.size(), 1u) << r.err;
    EXPECT_NE(ours[0].find("farm-refused"), std::string::npos) << ours[0];
    EXPECT_EQ(ours[0].find("farm-a"), std::string::npos) << ours[0];
    size_t kept = 0;
    for (const std::string& attempt : attempts()) {
        const std::string span = attempt.substr(0, attempt.find(' '));
        if (attempt.find("farm-a") != std::string::npos && span != "44600-46200") {
            EXPECT_TRUE(fs::exists(work() / ("segment-" + span + ".mkv"))) << span;
            ++kept;
        }
    }
    EXPECT_GT(kept, 0u) << "farm-a captured nothing";
    EXPECT_FALSE(fs::exists(master()));
}
