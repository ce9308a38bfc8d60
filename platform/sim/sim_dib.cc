#include "platform/sim/sim_dib.h"

#include <cstddef>
#include <utility>

namespace {

constexpr std::size_t kHeaderSize = 40;

void Put16(std::vector<std::uint8_t>* out, std::size_t at, std::uint32_t value) {
  (*out)[at] = static_cast<std::uint8_t>(value);
  (*out)[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>* out, std::size_t at, std::uint32_t value) {
  Put16(out, at, value);
  Put16(out, at + 2, value >> 16);
}

std::uint32_t Get32(const std::vector<std::uint8_t>& in, std::size_t at) {
  return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8 |
         static_cast<std::uint32_t>(in[at + 2]) << 16 |
         static_cast<std::uint32_t>(in[at + 3]) << 24;
}

// The header and colour table of a `bits`-deep bitmap, with room for its rows.
std::vector<std::uint8_t> NewDib(std::int32_t width, std::int32_t height, std::uint32_t bits,
                                 std::size_t colours, std::size_t* rowBytes) {
  const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
  const std::size_t h = height > 0 ? static_cast<std::size_t>(height) : 0;
  *rowBytes = (w * bits + 31) / 32 * 4;
  std::vector<std::uint8_t> dib(kHeaderSize + colours * 4 + *rowBytes * h, 0);
  Put32(&dib, 0, kHeaderSize);
  Put32(&dib, 4, static_cast<std::uint32_t>(w));
  Put32(&dib, 8, static_cast<std::uint32_t>(h));  // positive: rows bottom-up
  Put16(&dib, 12, 1);                             // planes
  Put16(&dib, 14, bits);
  Put32(&dib, 20, static_cast<std::uint32_t>(*rowBytes * h));
  return dib;
}

std::uint16_t Get16(const std::vector<std::uint8_t>& in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | in[at + 1] << 8);
}

std::uint32_t PixelAt(const PixelImage& image, std::int32_t x, std::int32_t y) {
  const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(image.nWidth) +
                         static_cast<std::size_t>(x);
  return at < image.aPixels.size() ? image.aPixels[at] : 0;
}

}  // namespace

std::vector<std::uint8_t> EncodeDib24(const PixelImage& image) {
  std::size_t rowBytes = 0;
  std::vector<std::uint8_t> dib = NewDib(image.nWidth, image.nHeight, 24, 0, &rowBytes);
  for (std::int32_t y = 0; y < image.nHeight; ++y) {
    const std::size_t row =
        kHeaderSize + rowBytes * static_cast<std::size_t>(image.nHeight - 1 - y);
    for (std::int32_t x = 0; x < image.nWidth; ++x) {
      const std::uint32_t rgb = PixelAt(image, x, y);
      const std::size_t at = row + static_cast<std::size_t>(x) * 3;
      dib[at] = static_cast<std::uint8_t>(rgb);            // blue
      dib[at + 1] = static_cast<std::uint8_t>(rgb >> 8);   // green
      dib[at + 2] = static_cast<std::uint8_t>(rgb >> 16);  // red
    }
  }
  return dib;
}

std::vector<std::uint8_t> EncodeDibMask(const PixelImage& mask) {
  std::size_t rowBytes = 0;
  std::vector<std::uint8_t> dib = NewDib(mask.nWidth, mask.nHeight, 1, 2, &rowBytes);
  Put32(&dib, kHeaderSize + 4, 0x00FFFFFF);  // colour 1 is white
  const std::size_t bits = kHeaderSize + 8;
  for (std::int32_t y = 0; y < mask.nHeight; ++y) {
    const std::size_t row = bits + rowBytes * static_cast<std::size_t>(mask.nHeight - 1 - y);
    for (std::int32_t x = 0; x < mask.nWidth; ++x) {
      if ((PixelAt(mask, x, y) & 0x00FFFFFF) != 0) {
        dib[row + static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
      }
    }
  }
  return dib;
}

bool ReadDibSize(const std::vector<std::uint8_t>& dib, std::int32_t* width, std::int32_t* height) {
  if (dib.size() < kHeaderSize || Get32(dib, 0) < kHeaderSize) {
    return false;
  }
  *width = static_cast<std::int32_t>(Get32(dib, 4));
  const auto rows = static_cast<std::int32_t>(Get32(dib, 8));
  *height = rows < 0 ? -rows : rows;  // negative heights run top-down
  return true;
}

bool DecodeDib(const std::vector<std::uint8_t>& dib, PixelImage* image) {
  std::int32_t width = 0;
  std::int32_t height = 0;
  if (!ReadDibSize(dib, &width, &height) || width <= 0 || height <= 0 || width > 4096 ||
      height > 4096 || Get32(dib, 16) != 0) {  // BI_RGB only
    return false;
  }
  const std::uint32_t bits = Get16(dib, 14);
  if (bits != 1 && bits != 24 && bits != 32) {
    return false;
  }
  const bool topDown = static_cast<std::int32_t>(Get32(dib, 8)) < 0;
  const std::size_t colours = bits == 1 ? (Get32(dib, 32) != 0 ? Get32(dib, 32) : 2) : 0;
  const std::size_t table = Get32(dib, 0);
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  const std::size_t pixels = table + colours * 4;
  if (colours > 2 || dib.size() < pixels + rowBytes * static_cast<std::size_t>(height)) {
    return false;
  }
  PixelImage decoded;
  decoded.nWidth = width;
  decoded.nHeight = height;
  decoded.aPixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (std::int32_t y = 0; y < height; ++y) {
    const std::size_t row =
        pixels + rowBytes * static_cast<std::size_t>(topDown ? y : height - 1 - y);
    for (std::int32_t x = 0; x < width; ++x) {
      const auto column = static_cast<std::size_t>(x);
      if (bits == 1) {
        const std::size_t index = dib[row + column / 8] >> (7 - column % 8) & 1;
        decoded.aPixels.push_back(index < colours ? Get32(dib, table + index * 4) & 0xFFFFFF : 0);
      } else {
        const std::size_t at = row + column * (bits / 8);
        decoded.aPixels.push_back(static_cast<std::uint32_t>(dib[at + 2]) << 16 |
                                  static_cast<std::uint32_t>(dib[at + 1]) << 8 | dib[at]);
      }
    }
  }
  *image = std::move(decoded);
  return true;
}
