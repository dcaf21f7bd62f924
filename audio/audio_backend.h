// The audio back end: opens the show's music, plays it, mutes it and answers
// spectrum and position queries.
//
// These implementations share the interface:
//   makeLiveAudioBackend()    plays through a sound server, its position the
//                             one the server says is heard; survives the
//                             server going away and coming back. Falls back
//                             on the device back end when no server answers.
//   makeDeviceAudioBackend()  plays through SDL2 audio. When no output device
//                             can be opened, init() hands one warning to the
//                             program's sink and falls back to a silent output
//                             whose position still moves in real time.
//   makeOfflineAudioBackend() no output at all; the playback position is set
//                             from outside (video capture steps it per frame).
//   makeNullAudioBackend()    opens no decoder and produces silence; for tests
//                             that need a back end but no music.
// Use: init(44100); h = openStream(path) or openModule(path) (0 = failure,
// lastError() says why); setVolume(h, 0) to mute; seek(h, ms) to play on from
// elsewhere in the track; start(); play(h); once per frame spectrum(h, buffer)
// and positionMs(h); stop() and start() again to pause; release().
// Calls come from one thread at a time: the main thread, or a start-up worker
// that fast-forwards through spectrumAt() and hands the back end back before
// the main thread goes on. The device back end's callback runs on SDL's audio
// thread and touches only the mixing state; the back ends that play decode
// their music ahead on a thread of their own, so no output waits on a decode.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/track_source.h"

using AudioHandle = uint32_t;  // 0 means "no channel"

// Takes a warning the back end recovered from, one line without prefix or
// newline; the program decides where it goes.
using AudioWarningSink = std::function<void(const std::string&)>;

class AudioBackend {
public:
    virtual ~AudioBackend();
    // Prepares output at `frequency` Hz stereo; tracks are decoded at that rate.
    // False only when the back end cannot work at all (lastError() says why).
    virtual bool init(int frequency) = 0;
    // Opens an MPEG audio file, to be decoded as it plays. 0 on failure
    // (missing, unreadable, no audio at its start), with lastError() naming the file.
    virtual AudioHandle openStream(const std::string& path) = 0;
    // Opens a tracker module, to be rendered as it plays. 0 on failure, as openStream.
    virtual AudioHandle openModule(const std::string& path) = 0;
    // 1 is full level, 0 silences the channel without stopping it. Ignored for
    // an unknown handle.
    virtual void setVolume(AudioHandle, float volume) = 0;
    // Starts the output (the device's clock starts running).
    virtual void start() = 0;
    // Starts the channel from its current position; a channel already playing
    // is left alone. Ignored for an unknown handle.
    virtual void play(AudioHandle) = 0;
    // 1024 magnitudes of the 2048 frames ending at the channel's playback
    // position (see audio/frequency_analysis.h). Zeros before play() and once the track
    // has ended. An unknown handle leaves `out` untouched.
    virtual void spectrum(AudioHandle, float out[1024]) = 0;
    // The channel plays on from `ms` into the track (before play(): starts
    // there); positionMs() reads `ms` from then on. Ignored for an unknown handle.
    virtual void seek(AudioHandle, double ms) = 0;
    // The magnitudes spectrum() gives when the channel's position is `ms`,
    // wherever it plays now. An unknown handle leaves `out` untouched.
    virtual void spectrumAt(AudioHandle, double ms, float out[1024]) = 0;
    // Stops all output; positions stop moving until start() is called again.
    virtual void stop() = 0;
    // Stops and frees every channel and the output. Safe to call twice.
    virtual void release() = 0;
    // Where in the track the channel is heard now, in ms: the time since its
    // play() plus where it was last sought to; keeps growing past the track's
    // end while the output runs, though a server correcting its own timing
    // may take it back a few ms. 0 for an unknown or unplayed handle.
    virtual double positionMs(AudioHandle) const = 0;
    // A reader of the channel's whole track, from its start, independent of
    // playback; null for an unknown handle and for a back end that decodes
    // nothing (the null back end).
    virtual std::unique_ptr<TrackWindow> openTrack(AudioHandle) const = 0;
    // The rate, in Hz, that tracks are decoded and played at.
    virtual int sampleRate() const = 0;
    // Called about once a frame on the main thread, paused or not: a back end
    // whose output can go away notices it here, reconnects, and hands what
    // happened to its warning sink.
    virtual void serviceOutput() { }
    // Why the last init/openStream/openModule failed; empty when none did.
    virtual const std::string& lastError() const = 0;
};

// Output whose position is driven from outside, for frame-by-frame capture.
class OfflineAudioBackend : public AudioBackend {
public:
    // The output clock: every playing channel's position is this time minus
    // the output time at which it was started.
    virtual void setPositionMs(double ms) = 0;
};

// Silent back end. init() succeeds; openStream/openModule return a handle
// when the path names a readable file (nothing is decoded) and 0 otherwise;
// spectrum() yields zeros; positions stay 0; openTrack() is null.
std::unique_ptr<AudioBackend> makeNullAudioBackend();
std::unique_ptr<AudioBackend> makeDeviceAudioBackend(AudioWarningSink warn);
// The live show's output: a sound server speaking the PulseAudio protocol
// (PulseAudio, or PipeWire's PulseAudio service) when one answers and
// SDL_AUDIODRIVER does not name another driver, else the SDL output above.
std::unique_ptr<AudioBackend> makeLiveAudioBackend(AudioWarningSink warn);
// The sound server output alone, whatever SDL_AUDIODRIVER says; null, with
// `why` set, when no server answers within two seconds.
std::unique_ptr<AudioBackend> makeServerAudioBackend(AudioWarningSink warn, std::string& why);
std::unique_ptr<OfflineAudioBackend> makeOfflineAudioBackend();
