// A reader of the one image format the module's bitmaps come in: an uncompressed Windows BMP
// file of 24 bits per pixel (a BITMAPFILEHEADER, then a BITMAPINFOHEADER or one of its
// longer successors). Anything else is refused with a sentence saying why, so a damaged or
// replaced resource shows up in the log instead of as a garbled button.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/outlook_host.h"

// The largest width and height taken; the module's pictures are 16 x 16.
inline constexpr std::int32_t kLargestBmpSide = 1024;

// Reads the file in `data` into `image` (pixels 0x00RRGGBB from the top row down). On
// refusal returns false, leaves `image` as it was and says why in `error`.
bool ReadBmpImage(const std::uint8_t* data, std::size_t size, PixelImage* image,
                  std::string* error);
