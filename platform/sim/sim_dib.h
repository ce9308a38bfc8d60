// Packed device-independent bitmaps (a 40-byte header, a colour table, bottom-up rows padded
// to 4 bytes), as the simulated Office puts a button face and its mask on the clipboard.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/outlook_host.h"

// A 24-bit bitmap of `image`.
std::vector<std::uint8_t> EncodeDib24(const PixelImage& image);
// A 1-bit bitmap in which every pixel of `mask` that is not black is set (transparent).
std::vector<std::uint8_t> EncodeDibMask(const PixelImage& mask);
// The pixels (0x00RRGGBB, rows from the top) of an uncompressed 1-, 24- or 32-bit bitmap, a
// 1-bit one through its colour table; false for any other kind or a block too short for it.
bool DecodeDib(const std::vector<std::uint8_t>& dib, PixelImage* image);
// The width and height a packed bitmap's header gives; false when it has no whole header.
bool ReadDibSize(const std::vector<std::uint8_t>& dib, std::int32_t* width, std::int32_t* height);
