// The button picture's pixel rules and the bitmap they start from.
#include "toolbar/button_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/logger.h"
#include "common/text.h"
#include "platform/clipboard.h"
#include "platform/sim/sim_outlook.h"
#include "resources/bitmaps.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/sim_controls.h"
#include "toolbar/bmp_reader.h"

namespace {

constexpr std::uint32_t kKey = 0xD4E8FD;   // RGB(212, 232, 253) as a pixel
constexpr std::uint32_t kMark = 0x3B5998;  // RGB(59, 89, 152)
constexpr std::uint32_t kWhite = 0xFFFFFF;

std::vector<std::uint8_t> ButtonFile() {
  const ResourceBytes file = LoadBitmapBytes(IDB_FACEBOOK_BUTTON);
  return std::vector<std::uint8_t>(file.pData, file.pData + file.nSize);
}

PixelImage ButtonFace() {
  PixelImage face;
  std::string error;
  EXPECT_TRUE(LoadBitmapImage(IDB_FACEBOOK_BUTTON, &face, &error)) << error;
  return face;
}

void PutU32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

TEST(ButtonBitmapTest, TheFacebookButtonIsAMarkInBlueAndWhiteOnTheKeyColour) {
  const PixelImage face = ButtonFace();
  ASSERT_EQ(face.nWidth, 16);
  ASSERT_EQ(face.nHeight, 16);
  int mark = 0;
  int white = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const std::uint32_t pixel = face.aPixels[y * 16 + x];
      if (x == 0 || y == 0 || x == 15 || y == 15) {
        EXPECT_EQ(pixel, kKey) << x << "," << y;  // the border is transparent
      }
      mark += pixel == kMark ? 1 : 0;
      white += pixel == kWhite ? 1 : 0;
    }
  }
  EXPECT_GT(mark, 100);
  EXPECT_GT(white, 20);
  EXPECT_EQ(LoadBitmapBytes(202).nSize, 0u);
}

TEST(BmpReaderTest, AnythingButAnUncompressed24BitFileIsRefusedWithItsReason) {
  struct Case {
    const char* reason;
    std::function<void(std::vector<std::uint8_t>&)> damage;
  };
  const Case cases[] = {
      {"\"BM\"", [](auto& f) { f[0] = 'P'; }},
      {"8 bits per pixel", [](auto& f) { f[28] = 8; }},
      {"compression 1", [](auto& f) { PutU32(f, 30, 1); }},
      {"2 colour planes", [](auto& f) { f[26] = 2; }},
      {"a size of 0 x 16", [](auto& f) { PutU32(f, 18, 0); }},
      {"a size of 16 x 5000", [](auto& f) { PutU32(f, 22, 5000); }},
      {"do not lie within", [](auto& f) { f.resize(f.size() - 1); }},
      {"do not lie within", [](auto& f) { PutU32(f, 10, 0xFFFFFFF0u); }},
      {"information header of 12 bytes", [](auto& f) { PutU32(f, 14, 12); }},
      {"too few", [](auto& f) { f.resize(20); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    std::vector<std::uint8_t> file = ButtonFile();
    c.damage(file);
    PixelImage image;
    image.nWidth = 7;
    std::string error;
    EXPECT_FALSE(ReadBmpImage(file.data(), file.size(), &image, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(image.nWidth, 7);  // untouched
  }
}

TEST(BmpReaderTest, ATopDownFileReadsAsTheSamePicture) {
  std::vector<std::uint8_t> file = ButtonFile();
  const std::size_t offset = file[10];
  std::vector<std::uint8_t> flipped(file.begin(), file.begin() + offset);
  for (int row = 15; row >= 0; --row) {
    flipped.insert(flipped.end(), file.begin() + offset + row * 48,
                   file.begin() + offset + (row + 1) * 48);
  }
  PutU32(flipped, 22, static_cast<std::uint32_t>(-16));
  PixelImage image;
  std::string error;
  ASSERT_TRUE(ReadBmpImage(flipped.data(), flipped.size(), &image, &error)) << error;
  EXPECT_EQ(image.aPixels, ButtonFace().aPixels);
}

TEST(PictureMaskTest, TheKeyColourStaysExactlyWhereTheFaceHasItAndAllElseIsBlack) {
  PixelImage face = ButtonFace();
  face.aPixels[0] = 0xD4E8FC;    // one step off in blue
  face.aPixels[1] = 0xD5E8FD;    // one step off in red
  face.aPixels[2] = 0xFFD4E8FD;  // the key colour under another alpha
  const PixelImage mask = MakePictureMask(face, kFacebookButtonKeyColour);

  ASSERT_EQ(mask.aPixels.size(), face.aPixels.size());
  EXPECT_EQ(mask.aPixels[0], 0u);
  EXPECT_EQ(mask.aPixels[1], 0u);
  EXPECT_EQ(mask.aPixels[2] & 0xFFFFFF, kKey);
  for (std::size_t i = 3; i < face.aPixels.size(); ++i) {
    EXPECT_EQ(mask.aPixels[i], face.aPixels[i] == kKey ? kKey : 0u) << i;
  }
}

TEST(ClipboardDibTest, TheFaceAndMaskBlocksArePackedBottomUpWithPaddedRows) {
  PixelImage face = ButtonFace();
  face.aPixels[15 * 16 + 3] = kMark;  // bottom row, fourth pixel: not transparent

  const std::vector<std::uint8_t> dib = MakeFaceDib(face);
  ASSERT_EQ(dib.size(), 40u + 16 * 48);
  EXPECT_EQ(dib[0], 40);
  EXPECT_EQ(dib[14], 24);  // bits per pixel
  // The first row stored is the bottom one, blue green red.
  EXPECT_EQ(dib[40 + 9], 0x98);
  EXPECT_EQ(dib[40 + 10], 0x59);
  EXPECT_EQ(dib[40 + 11], 0x3B);

  const std::vector<std::uint8_t> mask = MakeMaskDib(face, kKey);
  ASSERT_EQ(mask.size(), 40u + 8 + 16 * 4);  // 16 bits a row, padded to 4 bytes
  EXPECT_EQ(mask[14], 1);
  EXPECT_EQ(std::vector<std::uint8_t>(mask.begin() + 40, mask.begin() + 48),
            (std::vector<std::uint8_t>{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0}));
  EXPECT_EQ(mask[48], 0xEF);  // bottom row: all key colour but the fourth pixel
  EXPECT_EQ(mask[49], 0xFF);
  EXPECT_EQ(mask[50], 0);  // padding
  // Top row: key colour only.
  EXPECT_EQ(mask[48 + 15 * 4], 0xFF);
  // A row of the mark: transparent only at its two ends.
  EXPECT_EQ(mask[48 + 7 * 4], 0x80);
  EXPECT_EQ(mask[48 + 7 * 4 + 1], 0x01);
}

TEST(TranslateOleColourTest, PlainAndPaletteRelativeColoursOnly) {
  std::uint32_t rgb = 0;
  EXPECT_EQ(TranslateOleColour(kFacebookButtonKeyColour, &rgb), S_OK);
  EXPECT_EQ(rgb, kKey);
  EXPECT_EQ(TranslateOleColour(0x02FDE8D4, &rgb), S_OK);
  EXPECT_EQ(rgb, kKey);
  EXPECT_EQ(TranslateOleColour(0x80000005, &rgb), E_INVALIDARG);  // a system colour
  EXPECT_EQ(TranslateOleColour(0x01000003, &rgb), E_INVALIDARG);  // a palette index
}

// --- SetButtonImage on the simulated Office ---------------------------------------------

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

class SetButtonImageTest : public ::testing::Test {
 protected:
  explicit SetButtonImageTest(OsVersion os = {10, 0}) : m_outlook(m_clock, Options(os)) {}

  static SimOutlookOptions Options(OsVersion os) {
    SimOutlookOptions options;
    options.osVersion = os;
    return options;
  }
  SimControlState Read(const LoneButton& button) {
    return m_outlook.ReadBar(button.nExplorer, button.path.strBar)->aControls[0];
  }
  // The user copies some text and a bitmap handle.
  void UserCopies() {
    IClipboard& clipboard = m_outlook.Clipboard();
    ASSERT_TRUE(clipboard.Open());
    clipboard.Empty();
    clipboard.SetData(clipboard_format::kUnicodeText, Bytes("hi"));
    clipboard.SetData(clipboard_format::kBitmap, Bytes("HBMP"));
    clipboard.Close();
  }
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> OnTheClipboard() {
    IClipboard& clipboard = m_outlook.Clipboard();
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> entries;
    EXPECT_TRUE(clipboard.Open());
    for (std::uint32_t format : clipboard.Formats()) {
      std::vector<std::uint8_t> data;
      clipboard.GetData(format, &data);
      entries.emplace_back(format, data);
    }
    clipboard.Close();
    return entries;
  }
  HRESULT SetImage(const LoneButton& button, std::int32_t officeVersion,
                   unsigned bitmapId = IDB_FACEBOOK_BUTTON) {
    return m_images.SetButtonImage(*button.spButton, officeVersion, bitmapId,
                                   kFacebookButtonKeyColour);
  }

  CManualClock m_clock;
  CSimOutlook m_outlook;
  CRecordingLogBackend m_log;
  CLogger m_logger{"tec", &m_log};
  CButtonImages m_images{m_outlook.WindowSystem(), &m_outlook.Clipboard(), m_logger};
};

TEST_F(SetButtonImageTest, NewerSystemsTakeThePictureAndItsMask) {
  const LoneButton button = AddLoneButton(m_outlook);
  UserCopies();
  const auto before = OnTheClipboard();

  EXPECT_EQ(SetImage(button, 16), S_OK);

  const SimControlState state = Read(button);
  EXPECT_EQ(state.picture.aPixels, ButtonFace().aPixels);
  EXPECT_EQ(state.mask.aPixels, MakePictureMask(ButtonFace(), kFacebookButtonKeyColour).aPixels);
  EXPECT_TRUE(state.aPastedFace.empty());
  EXPECT_EQ(OnTheClipboard(), before);  // the clipboard was not touched
}

TEST_F(SetButtonImageTest, OlderOfficeOrSystemsPasteTheFaceAndPutTheClipboardBack) {
  struct Case {
    OsVersion os;
    std::int32_t office;
    bool picture;
  };
  const Case cases[] = {{{5, 1}, 10, true}, {{6, 0}, 9, false}, {{5, 1}, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.office);
    CSimOutlook outlook(m_clock, Options(c.os));
    CButtonImages images(outlook.WindowSystem(), &outlook.Clipboard(), m_logger);
    EXPECT_EQ(images.UsesPictureWay(c.office), c.picture);
  }

  const LoneButton button = AddLoneButton(m_outlook);
  UserCopies();
  EXPECT_EQ(SetImage(button, 9), S_OK);

  const SimControlState state = Read(button);
  EXPECT_FALSE(state.bFaceFromDib);  // Office found its own face and mask formats
  EXPECT_EQ(state.aPastedMask, MakeMaskDib(ButtonFace(), kKey));
  EXPECT_TRUE(m_images.IsDiscovered());
  // The text is back; the bitmap handle is not put back.
  const auto after = OnTheClipboard();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].first, clipboard_format::kUnicodeText);
  EXPECT_EQ(after[0].second, Bytes("hi"));
}

TEST_F(SetButtonImageTest, AFaceOfficeRefusesAsAPictureIsPastedAndTheClipboardComesBack) {
  // Office refused the picture (its type library declares no by-reference put of Picture),
  // nobody looked at the answer, and the Facebook button stayed without a face.
  for (const char* refused : {"CommandBarButton.Picture=", "CommandBarButton.Mask="}) {
    SCOPED_TRACE(refused);
    const LoneButton button = AddLoneButton(m_outlook);
    UserCopies();
    m_outlook.Faults().Inject(refused, DISP_E_MEMBERNOTFOUND);

    EXPECT_EQ(SetImage(button, 16), S_OK);

    const SimControlState state = Read(button);
    EXPECT_TRUE(state.picture.aPixels.empty());
    EXPECT_EQ(state.aPastedMask, MakeMaskDib(ButtonFace(), kKey));
    const auto after = OnTheClipboard();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].second, Bytes("hi"));
  }
  EXPECT_EQ(m_log.Count(LogPriority::kError, "sbi: picture failed. 0x80020003"), 2);
}

TEST_F(SetButtonImageTest, TheFormatNamesAreFoundOutOnceForEveryButton) {
  const LoneButton first = AddLoneButton(m_outlook);
  const LoneButton second = AddLoneButton(m_outlook);
  EXPECT_EQ(SetImage(first, 9), S_OK);
  EXPECT_EQ(SetImage(second, 9), S_OK);
  EXPECT_EQ(m_outlook.Faults().CallCount("CommandBarButton.CopyFace"), 1);
  EXPECT_EQ(Read(second).aPastedMask, Read(first).aPastedMask);
}

TEST_F(SetButtonImageTest, AMissingBitmapGivesNoPictureALogLineAndAnUntouchedClipboard) {
  const LoneButton button = AddLoneButton(m_outlook);
  UserCopies();
  const auto before = OnTheClipboard();
  EXPECT_EQ(SetImage(button, 9, 999), E_FAIL);
  EXPECT_EQ(SetImage(button, 16, 999), E_FAIL);
  EXPECT_TRUE(Read(button).aPastedFace.empty());
  EXPECT_TRUE(Read(button).picture.aPixels.empty());
  EXPECT_EQ(OnTheClipboard(), before);
  EXPECT_EQ(m_log.Count(LogPriority::kError, "sbi: bitmap 999: no bitmap 999"), 2);
}

TEST_F(SetButtonImageTest, AClipboardThatCannotBeSavedIsNotReplaced) {
  // The first open (the snapshot) fails and the later ones work: pasting the face anyway
  // would empty the clipboard and lose what the user had copied.
  const LoneButton button = AddLoneButton(m_outlook);
  UserCopies();
  m_outlook.Faults().Inject("OpenClipboard", E_FAIL);
  EXPECT_TRUE(FAILED(SetImage(button, 9)));
  EXPECT_EQ(OnTheClipboard().size(), 2u);
  EXPECT_TRUE(Read(button).aPastedFace.empty());
}

}  // namespace
