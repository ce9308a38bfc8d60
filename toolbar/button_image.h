// Pictures on the toolbar's buttons. Office takes a button's face in one of two ways: on
// Windows 5.1 and later with Office 10 and later through the button's Picture and Mask
// properties; otherwise only by pasting from the clipboard, where it reads the face and its
// transparency mask in two private clipboard formats whose names are found out once. Pixels
// of exactly the key colour are the transparent ones.
//
// Threading: Outlook's main thread only (while a toolbar is built). Between the snapshot and
// the restore of the clipboard way, other programs see the face on the clipboard.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/hresult.h"
#include "platform/outlook_host.h"

class CLogger;
class IClipboard;
class IWindowSystem;

// An OLE colour, 0x00BBGGRR (the system's COLORREF); pixels are 0x00RRGGBB.
using OleColour = std::uint32_t;
inline constexpr OleColour kFacebookButtonKeyColour = 0x00FDE8D4;  // RGB(212, 232, 253)

// The plain colour an OLE colour stands for, as 0x00RRGGBB: a direct RGB value or a
// palette-relative one. Palette indexes and system colours need the system and fail with
// E_INVALIDARG, as for any other invalid colour.
HRESULT TranslateOleColour(OleColour colour, std::uint32_t* rgb);

// The picture-property way's mask: a pixel of the key colour (alpha ignored) stays as it
// is, every other pixel becomes 0 (black).
PixelImage MakePictureMask(const PixelImage& face, OleColour keyColour);

// The clipboard way's face: a packed device-independent bitmap of 24 bits per pixel (a
// 40-byte header, then the rows from the bottom up, each a multiple of 4 bytes long).
std::vector<std::uint8_t> MakeFaceDib(const PixelImage& face);
// The clipboard way's mask: a packed 1-bit bitmap (the header, a colour table of black and
// white, the rows) in which pixels of the colour `keyRgb` (0x00RRGGBB) are white (1) and all
// others black (0).
std::vector<std::uint8_t> MakeMaskDib(const PixelImage& face, std::uint32_t keyRgb);

class CButtonImages {
 public:
  static constexpr const wchar_t* kDefaultFaceFormat = L"Toolbar Button Face";
  static constexpr const wchar_t* kDefaultMaskFormat = L"Toolbar Button Mask";

  // One object serves the process: the format names it finds out are kept for its life.
  // The collaborators must outlive it; `log` takes the lines about unreadable bitmaps.
  // Without a clipboard every picture takes the picture-property way.
  CButtonImages(IWindowSystem& windows, IClipboard* clipboard, CLogger& log);

  // Gives `button` the face of bitmap `bitmapId` with `keyColour` transparent, the way
  // this system and `officeVersion` (Outlook's major version) allow; when Office refuses
  // the picture or its mask, the face is pasted from the clipboard instead. The status of
  // the last property call, or of the paste; E_FAIL for a bitmap the module lacks or cannot
  // read. The user's clipboard is put back on every path; when it cannot be saved first, it
  // is left alone and the button gets no picture (CLIPBRD_E_CANT_OPEN).
  HRESULT SetButtonImage(ICommandBarButton& button, std::int32_t officeVersion, unsigned bitmapId,
                         OleColour keyColour);
  // Whether SetButtonImage takes the picture-property way for `officeVersion`.
  bool UsesPictureWay(std::int32_t officeVersion);

  const std::wstring& FaceFormatName() const { return m_strFaceFormat; }
  const std::wstring& MaskFormatName() const { return m_strMaskFormat; }
  bool IsDiscovered() const { return m_bDiscovered; }

 private:
  bool LoadBitmap(unsigned bitmapId, PixelImage* face);
  HRESULT SetByPicture(ICommandBarButton& button, const PixelImage& face, OleColour keyColour);
  HRESULT SetByClipboard(ICommandBarButton& button, const PixelImage& face, OleColour keyColour);
  // Office's own format names, read from what CopyFace puts on the clipboard.
  void DiscoverFormats(ICommandBarButton& button, IClipboard& clipboard);

  IWindowSystem& m_windows;
  IClipboard* m_pClipboard;
  CLogger& m_log;
  std::wstring m_strFaceFormat = kDefaultFaceFormat;
  std::wstring m_strMaskFormat = kDefaultMaskFormat;
  bool m_bDiscovered = false;
};
