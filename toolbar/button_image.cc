#include "toolbar/button_image.h"

#include <string>
#include <utility>

#include "common/logger.h"
#include "platform/clipboard.h"
#include "platform/window_system.h"
#include "toolbar/bmp_reader.h"
#include "toolbar/clipboard_snapshot.h"

namespace {

constexpr std::uint32_t kLastPredefinedFormat = 18;
// The system's CLIPBRD_E_CANT_OPEN.
constexpr HRESULT kClipboardCantOpen = static_cast<HRESULT>(0x800401D0u);
constexpr std::size_t kDibHeaderSize = 40;

// The red, green and blue of an OLE colour as a pixel, 0x00RRGGBB.
std::uint32_t PixelOf(OleColour colour) {
  return (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}
void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

std::size_t RowStride(std::int32_t width, std::uint16_t bitsPerPixel) {
  return (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

// A 40-byte BITMAPINFOHEADER for a bottom-up, uncompressed bitmap of one plane.
std::vector<std::uint8_t> DibHeader(const PixelImage& image, std::uint16_t bitsPerPixel,
                                    std::size_t colourTableBytes) {
  const std::size_t imageBytes = RowStride(image.nWidth, bitsPerPixel) * image.nHeight;
  std::vector<std::uint8_t> out;
  out.reserve(kDibHeaderSize + colourTableBytes + imageBytes);
  AppendU32(out, kDibHeaderSize);
  AppendU32(out, static_cast<std::uint32_t>(image.nWidth));
  AppendU32(out, static_cast<std::uint32_t>(image.nHeight));
  AppendU16(out, 1);  // planes
  AppendU16(out, bitsPerPixel);
  AppendU32(out, 0);  // BI_RGB
  AppendU32(out, static_cast<std::uint32_t>(imageBytes));
  AppendU32(out, 0);  // pixels per metre, horizontally and vertically
  AppendU32(out, 0);
  AppendU32(out, 0);  // every colour of the depth is used
  AppendU32(out, 0);
  return out;
}

std::uint32_t PixelAt(const PixelImage& image, std::int32_t x, std::int32_t y) {
  return image.aPixels[static_cast<std::size_t>(y) * image.nWidth + x] & 0xFFFFFF;
}

// Frees what the clipboard way borrowed, whichever way the call leaves.
class CRestoreOnExit {
 public:
  CRestoreOnExit(CClipboardSnapshot& snapshot, IClipboard& clipboard)
      : m_snapshot(snapshot), m_clipboard(clipboard) {}
  ~CRestoreOnExit() { m_snapshot.Restore(m_clipboard); }
  CRestoreOnExit(const CRestoreOnExit&) = delete;
  CRestoreOnExit& operator=(const CRestoreOnExit&) = delete;

 private:
  CClipboardSnapshot& m_snapshot;
  IClipboard& m_clipboard;
};

}  // namespace

HRESULT TranslateOleColour(OleColour colour, std::uint32_t* rgb) {
  const std::uint32_t kind = colour >> 24;
  if (kind != 0x00 && kind != 0x02) {
    return E_INVALIDARG;
  }
  *rgb = PixelOf(colour & 0xFFFFFF);
  return S_OK;
}

PixelImage MakePictureMask(const PixelImage& face, OleColour keyColour) {
  const std::uint32_t key = PixelOf(keyColour);
  PixelImage mask = face;
  for (std::uint32_t& pixel : mask.aPixels) {
    if ((pixel & 0xFFFFFF) != key) {
      pixel = 0;
    }
  }
  return mask;
}

std::vector<std::uint8_t> MakeFaceDib(const PixelImage& face) {
  std::vector<std::uint8_t> dib = DibHeader(face, 24, 0);
  const std::size_t padding =
      RowStride(face.nWidth, 24) - 3 * static_cast<std::size_t>(face.nWidth);
  for (std::int32_t y = face.nHeight - 1; y >= 0; --y) {
    for (std::int32_t x = 0; x < face.nWidth; ++x) {
      const std::uint32_t pixel = PixelAt(face, x, y);
      dib.push_back(static_cast<std::uint8_t>(pixel));        // blue
      dib.push_back(static_cast<std::uint8_t>(pixel >> 8));   // green
      dib.push_back(static_cast<std::uint8_t>(pixel >> 16));  // red
    }
    dib.insert(dib.end(), padding, 0);
  }
  return dib;
}

std::vector<std::uint8_t> MakeMaskDib(const PixelImage& face, std::uint32_t keyRgb) {
  std::vector<std::uint8_t> dib = DibHeader(face, 1, 8);
  AppendU32(dib, 0x00000000);  // 0: black
  AppendU32(dib, 0x00FFFFFF);  // 1: white
  const std::size_t stride = RowStride(face.nWidth, 1);
  for (std::int32_t y = face.nHeight - 1; y >= 0; --y) {
    const std::size_t row = dib.size();
    dib.resize(row + stride, 0);
    for (std::int32_t x = 0; x < face.nWidth; ++x) {
      if (PixelAt(face, x, y) == (keyRgb & 0xFFFFFF)) {
        dib[row + static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
      }
    }
  }
  return dib;
}

CButtonImages::CButtonImages(IWindowSystem& windows, IClipboard* clipboard, CLogger& log)
    : m_windows(windows), m_pClipboard(clipboard), m_log(log) {}

bool CButtonImages::UsesPictureWay(std::int32_t officeVersion) {
  const OsVersion os = m_windows.GetOsVersion();
  const bool atLeastXp = os.nMajor > 5 || (os.nMajor == 5 && os.nMinor != 0);
  return m_pClipboard == nullptr || (atLeastXp && officeVersion >= 10);
}

HRESULT CButtonImages::SetButtonImage(ICommandBarButton& button, std::int32_t officeVersion,
                                      unsigned bitmapId, OleColour keyColour) {
  PixelImage face;
  if (!LoadBitmap(bitmapId, &face)) {
    return E_FAIL;
  }
  if (!UsesPictureWay(officeVersion)) {
    return SetByClipboard(button, face, keyColour);
  }
  const HRESULT hr = SetByPicture(button, face, keyColour);
  if (SUCCEEDED(hr) || m_pClipboard == nullptr) {
    return hr;
  }
  // An Office that refuses the pictures still pastes a face from the clipboard.
  m_log.error("sbi: picture failed. 0x%lx", HResultForLog(hr));
  return SetByClipboard(button, face, keyColour);
}

bool CButtonImages::LoadBitmap(unsigned bitmapId, PixelImage* face) {
  std::string error;
  if (!LoadBitmapImage(bitmapId, face, &error)) {
    m_log.error("sbi: bitmap %u: %s", bitmapId, error.c_str());
    return false;
  }
  return true;
}

HRESULT CButtonImages::SetByPicture(ICommandBarButton& button, const PixelImage& face,
                                    OleColour keyColour) {
  // The face is opaque true colour, so laid over the key colour it stays as it is.
  const HRESULT hr = button.SetPicture(face);
  return FAILED(hr) ? hr : button.SetMask(MakePictureMask(face, keyColour));
}

HRESULT CButtonImages::SetByClipboard(ICommandBarButton& button, const PixelImage& face,
                                      OleColour keyColour) {
  IClipboard& clipboard = *m_pClipboard;
  CClipboardSnapshot snapshot;
  snapshot.Take(clipboard);
  const CRestoreOnExit restore(snapshot, clipboard);
  if (!snapshot.IsTaken()) {
    // What the user copied could not be saved, so it is not replaced: no picture this time.
    return kClipboardCantOpen;
  }

  std::uint32_t key = 0;
  const HRESULT translated = TranslateOleColour(keyColour, &key);
  if (FAILED(translated)) {
    return translated;
  }
  const std::vector<std::uint8_t> mask = MakeMaskDib(face, key);

  if (clipboard.Open()) {
    clipboard.Empty();
    clipboard.SetData(clipboard_format::kDib, MakeFaceDib(face));
    clipboard.Close();
  }
  if (!m_bDiscovered) {
    DiscoverFormats(button, clipboard);
  }
  const std::uint32_t faceFormat = clipboard.RegisterFormat(m_strFaceFormat);
  const std::uint32_t maskFormat = clipboard.RegisterFormat(m_strMaskFormat);
  if (clipboard.Open()) {
    std::vector<std::uint8_t> dib;
    if (clipboard.GetData(clipboard_format::kDib, &dib)) {
      clipboard.SetData(faceFormat, dib);
    }
    clipboard.SetData(maskFormat, mask);
    clipboard.Close();
  }
  return button.PasteFace();
}

void CButtonImages::DiscoverFormats(ICommandBarButton& button, IClipboard& clipboard) {
  button.PasteFace();
  button.CopyFace();  // Office now holds the face in its own formats
  m_strFaceFormat = kDefaultFaceFormat;
  m_strMaskFormat = kDefaultMaskFormat;
  if (!clipboard.Open()) {
    return;
  }
  struct Found {
    std::wstring strName;
    std::size_t nSize;
  };
  std::vector<Found> found;
  for (const std::uint32_t format : clipboard.Formats()) {
    if (format <= kLastPredefinedFormat) {
      continue;
    }
    std::wstring name = clipboard.FormatName(format);
    if (!name.empty()) {
      found.push_back({std::move(name), clipboard.DataSize(format)});
      if (found.size() == 2) {
        break;
      }
    }
  }
  clipboard.Close();
  if (found.size() != 2) {
    return;  // the defaults stay, and the next picture tries again
  }
  // The face has colour, the mask one bit a pixel: the larger block is the face.
  const bool firstIsFace = found[0].nSize > found[1].nSize;
  m_strFaceFormat = found[firstIsFace ? 0 : 1].strName;
  m_strMaskFormat = found[firstIsFace ? 1 : 0].strName;
  m_bDiscovered = true;
}
