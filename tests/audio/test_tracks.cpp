#include "test_tracks.h"

#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

double binFrequency(int bin, int sampleRate) { return bin * static_cast<double>(sampleRate) / 2048.0; }

bool writeMp3(const std::string& path, const std::vector<float>& mono, int sampleRate, int channels) {
  lame_global_flags* lame = lame_init();
  if (!lame) return false;
  lame_set_in_samplerate(lame, sampleRate);
  lame_set_out_samplerate(lame, sampleRate);
  lame_set_num_channels(lame, channels);
  lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(lame, 128);
  lame_set_bWriteVbrTag(lame, 1);
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    return false;
  }
  std::vector<unsigned char> bytes(mono.size() * 5 / 4 + 7200 + 16384);
  const int written = lame_encode_buffer_ieee_float(lame, mono.data(), mono.data(), static_cast<int>(mono.size()),
                                                    bytes.data(), static_cast<int>(bytes.size()));
  const int flushed = written < 0 ? -1 : lame_encode_flush(lame, bytes.data() + written, static_cast<int>(bytes.size()) - written);
  if (written < 0 || flushed < 0) {
    lame_close(lame);
    return false;
  }
  bytes.resize(static_cast<size_t>(written + flushed));
  // The first frame is a placeholder for the tag that carries the gapless trim.
  unsigned char tag[8192];
  const size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
  if (tagSize > 0 && tagSize <= bytes.size()) std::copy(tag, tag + tagSize, bytes.begin());
  lame_close(lame);
  return writeFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

namespace {

void putBig16(std::vector<uint8_t>& out, size_t at, unsigned value) {
  out[at] = static_cast<uint8_t>(value >> 8);
  out[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

std::vector<uint8_t> makeKickModule() {
  constexpr size_t kHeader = 20 + 31 * 30 + 2 + 128 + 4;
  constexpr size_t kPattern = 64 * 4 * 4;
  constexpr size_t kSampleBytes = 4000;
  std::vector<uint8_t> out(kHeader + kPattern + kSampleBytes, 0);
  const char title[] = "test kicks";
  std::copy(title, title + sizeof title - 1, out.begin());
  const size_t sample = 20;
  putBig16(out, sample + 22, kSampleBytes / 2);  // length in words
  out[sample + 25] = 64;                         // full volume
  putBig16(out, sample + 28, 1);                 // no loop
  const size_t song = 20 + 31 * 30;
  out[song] = 1;      // one order
  out[song + 1] = 127;
  out[song + 2] = 0;  // order 0 plays pattern 0
  const char tagText[] = "M.K.";
  std::copy(tagText, tagText + 4, out.begin() + song + 130);
  for (int row = 0; row < 64; row += 16) {
    const size_t cell = kHeader + static_cast<size_t>(row) * 16;
    const unsigned period = 214;                 // a high note: short, bright hits
    out[cell] = static_cast<uint8_t>(period >> 8);
    out[cell + 1] = static_cast<uint8_t>(period & 0xFF);
    out[cell + 2] = 0x10;                        // sample 1, no effect
  }
  uint32_t noise = 12345;
  for (size_t i = 0; i < kSampleBytes; ++i) {
    noise = noise * 1103515245u + 12345u;
    const double envelope = std::exp(-static_cast<double>(i) / 600.0);
    const int value = static_cast<int>((static_cast<int>((noise >> 16) & 0xFF) - 128) * envelope);
    out[kHeader + kPattern + i] = static_cast<uint8_t>(static_cast<int8_t>(value));
  }
  return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

bool writeText(const std::string& path, const std::string& text) {
  return writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string tempPath(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / ("brindle-audio-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}
