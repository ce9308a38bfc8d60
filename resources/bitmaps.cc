#include "resources/bitmaps.h"

#include <iterator>

namespace {

constexpr std::uint8_t kFacebookButton[] = {
#include "facebook_button_bmp.inc"
};

}  // namespace

ResourceBytes LoadBitmapBytes(unsigned id) {
  if (id == IDB_FACEBOOK_BUTTON) {
    return {kFacebookButton, std::size(kFacebookButton)};
  }
  return {};
}
