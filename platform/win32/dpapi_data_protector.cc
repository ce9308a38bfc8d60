#include "platform/win32/dpapi_data_protector.h"

#include <windows.h>
// After windows.h, whose types they need.
#include <dpapi.h>
#include <wincrypt.h>

#include "platform/win32/win32_handles.h"

namespace {

// The system takes its inputs through non-const pointers but never writes to them. An empty
// block still points somewhere: some implementations refuse a null pointer even with size 0.
DATA_BLOB BlobOver(const std::vector<std::uint8_t>& bytes) {
  static BYTE s_empty = 0;
  DATA_BLOB blob{};
  blob.cbData = static_cast<DWORD>(bytes.size());
  blob.pbData = bytes.empty() ? &s_empty : const_cast<BYTE*>(bytes.data());
  return blob;
}

// No user interface: only the structure's size is set.
CRYPTPROTECT_PROMPTSTRUCT NoPrompt() {
  CRYPTPROTECT_PROMPTSTRUCT prompt{};
  prompt.cbSize = sizeof(prompt);
  return prompt;
}

// Moves a blob the system allocated into `out` and frees it.
void TakeOutput(DATA_BLOB& output, std::vector<std::uint8_t>* out) {
  CLocalMemory owned(output.pbData);
  out->assign(output.pbData, output.pbData + output.cbData);
}

}  // namespace

bool CDpapiDataProtector::Protect(const std::vector<std::uint8_t>& data,
                                  const std::vector<std::uint8_t>& entropy,
                                  std::vector<std::uint8_t>* blob) {
  blob->clear();
  DATA_BLOB input = BlobOver(data);
  DATA_BLOB extra = BlobOver(entropy);
  CRYPTPROTECT_PROMPTSTRUCT prompt = NoPrompt();
  DATA_BLOB output{};
  if (!CryptProtectData(&input, L"", entropy.empty() ? nullptr : &extra, nullptr, &prompt, 0,
                        &output)) {
    return false;
  }
  TakeOutput(output, blob);
  return true;
}

bool CDpapiDataProtector::Unprotect(const std::vector<std::uint8_t>& blob,
                                    const std::vector<std::uint8_t>& entropy,
                                    std::vector<std::uint8_t>* data) {
  data->clear();
  if (blob.empty()) {
    return false;
  }
  DATA_BLOB input = BlobOver(blob);
  DATA_BLOB extra = BlobOver(entropy);
  CRYPTPROTECT_PROMPTSTRUCT prompt = NoPrompt();
  DATA_BLOB output{};
  if (!CryptUnprotectData(&input, nullptr, entropy.empty() ? nullptr : &extra, nullptr, &prompt, 0,
                          &output)) {
    return false;
  }
  TakeOutput(output, data);
  return true;
}
