// png_writer.h: writes 8-bit RGB pictures as PNG files: libpng lays out the
// file, libdeflate compresses the rows.
//
//   std::string error;
//   if (!writePng("frame_000000.png", w, h, rgb, error)) report(error);
//
// `rgb` holds h rows of w * 3 bytes, top row first. Compression favours speed:
// capture writes one file per frame, and encodes on several threads at once
// (encodePng touches nothing shared) before writing the files in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes beside `path` and renames when whole (output_file.h): returns false,
// with the path and the reason in `error`, when the file cannot be created or
// written, and then neither a partial file nor a changed earlier one is left.
bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, std::string& error);

// The PNG file writePng would write, into `png` (its old contents replaced).
// False with the reason in `error`.
bool encodePng(int width, int height, const uint8_t* rgb, std::vector<uint8_t>& png, std::string& error);

// Reads an 8-bit RGB or RGBA PNG into top-down RGB rows. Returns false with a
// reason on a missing, truncated or unsupported file.
bool readPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb, std::string& error);
