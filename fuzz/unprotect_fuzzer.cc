// Opening sealed values: the data protector's unprotect and the settings' hex form around it.
// The property is more than "no crash": no blob opens unless it is, byte for byte and with
// the same entropy, one that Protect made, and then it opens to exactly what was sealed.
//
// The first byte chooses how the rest is used:
//   0  the rest is a blob, opened with the settings' entropy;
//   1  a blob this process sealed (the second byte picks it), changed by the edits that
//      follow: triples of (what, where, value) that flip a byte, cut the blob, insert a byte
//      or add a byte to the entropy; then opened as it is and through its hex form;
//   2  the rest is the hex form of a stored session value;
//   3  the rest is sealed and opened again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/logger.h"
#include "common/text.h"
#include "fuzz/fuzz_support.h"
#include "platform/openssl/aes_gcm_data_protector.h"
#include "settings/options.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kEntropy = {'v', 'q', 'b', 'n', 'x', 't', 'r', 'K'};

struct Sealed {
  Bytes aBlob;
  Bytes aEntropy;
  Bytes aData;
};

CAesGcmDataProtector& Protector() {
  static CLogger& log = FuzzLogger();
  static CAesGcmDataProtector protector(ScratchFolder() + "/protection.key", log);
  return protector;
}

const std::vector<Sealed>& Genuine() {
  static const std::vector<Sealed> sealed = [] {
    std::vector<Sealed> made;
    const Bytes key = WideToUtf16Le(L"5f34e11bfb97c762e439e6a5-8055", true);
    for (const Bytes& data : {key, WideToUtf16Le(L"x", true), Bytes{}}) {
      for (const Bytes& entropy : {kEntropy, Bytes{}}) {
        Sealed one{{}, entropy, data};
        Require(Protector().Protect(data, entropy, &one.aBlob), "a value can be sealed");
        made.push_back(std::move(one));
      }
    }
    return made;
  }();
  return sealed;
}

std::wstring Hex(const Bytes& blob, bool upper) {
  const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
  std::wstring hex;
  for (std::uint8_t byte : blob) {
    hex += digits[byte >> 4];
    hex += digits[byte & 0xF];
  }
  return hex;
}

// Opens `blob` with `entropy` and checks the outcome against every genuine blob.
void OpenAndCheck(const Bytes& blob, const Bytes& entropy) {
  Bytes data = {0xEE};
  const bool opened = Protector().Unprotect(blob, entropy, &data);
  const Sealed* match = nullptr;
  for (const Sealed& one : Genuine()) {
    if (one.aBlob == blob && one.aEntropy == entropy) {
      match = &one;
    }
  }
  if (match != nullptr) {
    Require(opened && data == match->aData, "a genuine blob opens to what was sealed");
  } else {
    Require(!opened, "no forged or changed blob opens");
    Require(data.empty(), "a blob that does not open gives nothing");
  }
}

// The settings' hex form: only the hex (in either case) of a genuine blob with the settings'
// entropy opens.
void OpenHexAndCheck(const std::wstring& hex) {
  const std::wstring text = UnprotectString(&Protector(), hex);
  if (text.empty()) {
    return;
  }
  std::wstring upper = hex;
  for (wchar_t& c : upper) {
    c = c >= L'a' && c <= L'f' ? c - L'a' + L'A' : c;
  }
  bool genuine = false;
  for (const Sealed& one : Genuine()) {
    genuine = genuine || (one.aEntropy == kEntropy && upper == Hex(one.aBlob, true) &&
                          text == Utf16LeToWide(one.aData.data(), one.aData.size()));
  }
  Require(genuine, "a stored value opens only from a genuine blob, to what was sealed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  const Bytes rest(data + 1, data + size);
  switch (data[0] % 4) {
    case 0:
      OpenAndCheck(rest, kEntropy);
      break;
    case 1: {
      if (rest.empty()) {
        return 0;
      }
      const Sealed& base = Genuine()[rest[0] % Genuine().size()];
      Bytes blob = base.aBlob;
      Bytes entropy = base.aEntropy;
      for (std::size_t at = 1; at + 2 < rest.size(); at += 3) {
        const std::uint8_t where = rest[at + 1];
        const std::uint8_t value = rest[at + 2];
        switch (rest[at] % 4) {
          case 0:
            if (!blob.empty()) {
              blob[where % blob.size()] ^= value;
            }
            break;
          case 1:
            blob.resize(blob.empty() ? 0 : where % blob.size());
            break;
          case 2:
            blob.insert(blob.begin() + (blob.empty() ? 0 : where % (blob.size() + 1)), value);
            break;
          default:
            entropy.push_back(value);
            break;
        }
      }
      OpenAndCheck(blob, entropy);
      if (entropy == kEntropy) {
        OpenHexAndCheck(Hex(blob, rest[0] & 0x80));
      }
      break;
    }
    case 2:
      OpenHexAndCheck(Utf8ToWide(AsText(rest.data(), rest.size())));
      break;
    default: {
      Bytes blob;
      Require(Protector().Protect(rest, kEntropy, &blob), "any value can be sealed");
      Bytes opened;
      Require(Protector().Unprotect(blob, kEntropy, &opened) && opened == rest,
              "a sealed value opens to itself");
      break;
    }
  }
  return 0;
}
