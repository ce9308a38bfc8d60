#include "toolbar/bmp_reader.h"

#include <cstdint>
#include <string>
#include <utility>

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::int32_t ReadI32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(ReadU32(p));
}

bool Refuse(std::string* error, std::string reason) {
  *error = "not a 24-bit BMP file: " + std::move(reason);
  return false;
}

}  // namespace

bool ReadBmpImage(const std::uint8_t* data, std::size_t size, PixelImage* image,
                  std::string* error) {
  if (data == nullptr || size < kFileHeaderSize + kInfoHeaderSize) {
    return Refuse(error, std::to_string(size) + " bytes are too few for the headers");
  }
  if (data[0] != 'B' || data[1] != 'M') {
    return Refuse(error, "no \"BM\" signature");
  }
  const std::uint32_t pixelOffset = ReadU32(data + 10);
  const std::uint8_t* info = data + kFileHeaderSize;
  const std::uint32_t infoSize = ReadU32(info);
  if (infoSize < kInfoHeaderSize || infoSize > size - kFileHeaderSize) {
    return Refuse(error, "an information header of " + std::to_string(infoSize) + " bytes");
  }
  const std::int32_t width = ReadI32(info + 4);
  const std::int32_t rawHeight = ReadI32(info + 8);
  const std::uint16_t planes = ReadU16(info + 12);
  const std::uint16_t bitsPerPixel = ReadU16(info + 14);
  const std::uint32_t compression = ReadU32(info + 16);
  if (planes != 1) {
    return Refuse(error, std::to_string(planes) + " colour planes");
  }
  if (bitsPerPixel != 24) {
    return Refuse(error, std::to_string(bitsPerPixel) + " bits per pixel");
  }
  if (compression != kBiRgb) {
    return Refuse(error, "compression " + std::to_string(compression));
  }
  // A negative height stores the rows from the top down.
  const bool topDown = rawHeight < 0;
  const std::int64_t height = topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
  if (width < 1 || width > kLargestBmpSide || height < 1 || height > kLargestBmpSide) {
    return Refuse(error, "a size of " + std::to_string(width) + " x " + std::to_string(height));
  }
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  const std::size_t pixelBytes = stride * static_cast<std::size_t>(height);
  if (pixelOffset < kFileHeaderSize + infoSize || pixelOffset > size ||
      size - pixelOffset < pixelBytes) {
    return Refuse(error, "the pixels (" + std::to_string(pixelBytes) + " bytes at offset " +
                             std::to_string(pixelOffset) + ") do not lie within its " +
                             std::to_string(size) + " bytes");
  }

  PixelImage read;
  read.nWidth = width;
  read.nHeight = static_cast<std::int32_t>(height);
  read.aPixels.resize(static_cast<std::size_t>(width) * read.nHeight);
  for (std::int32_t y = 0; y < read.nHeight; ++y) {
    const std::int32_t stored = topDown ? y : read.nHeight - 1 - y;
    const std::uint8_t* row = data + pixelOffset + stride * static_cast<std::size_t>(stored);
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t* bgr = row + 3 * static_cast<std::size_t>(x);
      read.aPixels[static_cast<std::size_t>(y) * width + x] =
          static_cast<std::uint32_t>(bgr[2]) << 16 | static_cast<std::uint32_t>(bgr[1]) << 8 |
          bgr[0];
    }
  }
  *image = std::move(read);
  return true;
}
