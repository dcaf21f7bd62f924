// Tracker module rendering through libopenmpt: the whole song once, without
// looping, as float stereo at the output rate.
#include <libopenmpt/libopenmpt.h>

#include <memory>

#include "audio/decoded_track.h"
#include "audio/track_file.h"

namespace {

struct ModuleCloser {
    void operator()(openmpt_module* module) const { openmpt_module_destroy(module); }
};

// Modules are small; anything larger is not one worth rendering.
constexpr size_t kMaxModuleBytes = 64u << 20;

std::string openmptError(int code, const char* message)
{
    std::string text = message ? message : "";
    openmpt_free_string(message);
    if (text.empty()) {
        const char* generic = openmpt_error_string(code);
        text = generic ? generic : "unknown error";
        openmpt_free_string(generic);
    }
    return text;
}

}  // namespace

bool decodeModuleFile(const std::string& path, DecodedTrack& out, std::string& error, int sampleRate)
{
    out = DecodedTrack {};
    out.sampleRate = sampleRate;
    std::vector<uint8_t> bytes;
    if (!readTrackFile(path, kMaxModuleBytes, bytes, error))
        return false;

    int code = OPENMPT_ERROR_OK;
    const char* message = nullptr;
    std::unique_ptr<openmpt_module, ModuleCloser> module(openmpt_module_create_from_memory2(bytes.data(), bytes.size(),
        openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr, &code, &message, nullptr));
    if (!module) {
        error = "cannot read music file '" + path + "' as a tracker module (" + openmptError(code, message) + ")";
        return false;
    }
    openmpt_free_string(message);
    openmpt_module_set_repeat_count(module.get(), 0);

    const size_t maxFrames = static_cast<size_t>(kMaxTrackSeconds * sampleRate);
    constexpr size_t kChunkFrames = 4096;
    std::vector<float> chunk(kChunkFrames * 2);
    for (;;) {
        const size_t got
            = openmpt_module_read_interleaved_float_stereo(module.get(), sampleRate, kChunkFrames, chunk.data());
        if (got == 0)
            break;
        if (out.frames() + got > maxFrames) {
            out = DecodedTrack {};
            error = "music file '" + path + "' plays longer than " + std::to_string(kMaxTrackMinutes)
                + " minutes; use a shorter track";
            return false;
        }
        out.samples.insert(out.samples.end(), chunk.begin(), chunk.begin() + static_cast<long>(got * 2));
    }
    if (out.samples.empty()) {
        error = "tracker module '" + path + "' renders no sound";
        return false;
    }
    return true;
}
