// A private PulseAudio for one test: a null sink, a socket in a folder of the
// test's own, nice 19 without the right to real-time priority. The test can
// kill it mid-run and start it again on the same socket, as a user's session
// does when its server crashes and comes back.
//
//   PrivateSoundServer server(scratch.path() / "pulse");
//   ASSERT_TRUE(server.start());
//   env.push_back("PULSE_SERVER=" + server.address());
//   streamPlaysOn(server.address(), "brindle", 10);  server.kill();  server.start();
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/process.h"

class PrivateSoundServer {
public:
    explicit PrivateSoundServer(std::filesystem::path dir);
    // Starts the server and waits until it answers; false when it does not within 10 s.
    bool start();
    // Kills it at once (SIGKILL), as a crash would.
    void kill();
    std::string address() const { return "unix:" + (dir_ / "native").string(); }

private:
    std::filesystem::path dir_;
    std::unique_ptr<Process> server_;
};

// True once a playback stream of `client` plays on the server at `address`, within `seconds`.
bool streamPlaysOn(const std::string& address, const std::string& client, double seconds);
