// Starts, kills and restarts a private PulseAudio server for one test.
#include "tests/support/sound_server.h"

#include <csignal>

namespace fs = std::filesystem;

PrivateSoundServer::PrivateSoundServer(fs::path dir)
    : dir_(std::move(dir))
{
}

bool PrivateSoundServer::start()
{
    fs::create_directories(dir_);
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::replace);
    const std::string dir = dir_.string();
    server_ = std::make_unique<Process>("setpriv",
        std::vector<std::string> {"--inh-caps=-sys_nice", "--bounding-set=-sys_nice", "nice", "-n", "19",
            "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--high-priority=no",
            "--realtime=no", "--log-target=file:" + dir + "/log",
            "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + dir + "/native",
            "-L", "module-null-sink sink_name=testnull rate=44100"},
        std::vector<std::string> {"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "PULSE_RUNTIME_PATH=" + dir,
            "PULSE_STATE_PATH=" + dir});
    return pollUntil(10, [&] { return runProcess("pactl", {"info"}, {"PULSE_SERVER=" + address()}, 5).status == 0; });
}

void PrivateSoundServer::kill()
{
    if (!server_)
        return;
    server_->signal(SIGKILL);
    server_->finish(10);
    server_.reset();
}

bool streamPlaysOn(const std::string& address, const std::string& client, double seconds)
{
    return pollUntil(seconds, [&] {
        const ProcessResult inputs = runProcess("pactl", {"list", "sink-inputs"}, {"PULSE_SERVER=" + address}, 5);
        return inputs.out.find("application.name = \"" + client + "\"") != std::string::npos;
    });
}
