// Tracker module rendering through libopenmpt: the song once, without looping,
// as float stereo at the output rate, read as a stream or as a whole file.
#include <libopenmpt/libopenmpt.h>

#include <memory>

#include "audio/decoded_track.h"
#include "audio/track_file.h"
#include "audio/track_source.h"

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

using ModuleHandle = std::unique_ptr<openmpt_module, ModuleCloser>;

class ModuleSource final : public TrackSource {
public:
    ModuleSource(ModuleHandle module, int sampleRate)
        : module_(std::move(module))
        , sampleRate_(sampleRate)
    {
    }

    size_t read(float* out, size_t frames) override
    {
        size_t done = 0;
        while (done < frames && !ended_) {
            const size_t got = openmpt_module_read_interleaved_float_stereo(
                module_.get(), sampleRate_, frames - done, out + done * 2);
            done += got;
            ended_ = got == 0;
        }
        return done;
    }

private:
    ModuleHandle module_;
    int sampleRate_;
    bool ended_ = false;
};

std::unique_ptr<TrackSource> openModule(const std::string& path, int sampleRate, std::string& error)
{
    std::vector<uint8_t> bytes;
    if (!readTrackFile(path, kMaxModuleBytes, bytes, error))
        return nullptr;

    int code = OPENMPT_ERROR_OK;
    const char* message = nullptr;
    ModuleHandle module(openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
        openmpt_error_func_ignore, nullptr, &code, &message, nullptr));
    if (!module) {
        error = "cannot read music file '" + path + "' as a tracker module (" + openmptError(code, message) + ")";
        return nullptr;
    }
    openmpt_free_string(message);
    openmpt_module_set_repeat_count(module.get(), 0);
    std::unique_ptr<TrackSource> source = std::make_unique<ModuleSource>(std::move(module), sampleRate);
    if (primeSource(source))
        return source;
    error = "tracker module '" + path + "' renders no sound";
    return nullptr;
}

}  // namespace

TrackOpener moduleOpener(const std::string& path, int sampleRate)
{
    return [path, sampleRate](std::string& error) { return openModule(path, sampleRate, error); };
}

bool decodeModuleFile(const std::string& path, DecodedTrack& out, std::string& error, int sampleRate)
{
    out = DecodedTrack {};
    out.sampleRate = sampleRate;
    const std::unique_ptr<TrackSource> source = openModule(path, sampleRate, error);
    if (!source)
        return false;
    if (!readWholeTrack(*source, out)) {
        error = "music file '" + path + "' plays longer than " + std::to_string(kMaxTrackMinutes)
            + " minutes; use a shorter track";
        return false;
    }
    return true;
}
