// The module's bitmaps, as the bytes of their BMP files (file header included).
#pragma once

#include <cstddef>
#include <cstdint>

enum BitmapId : unsigned {
  IDB_FACEBOOK_BUTTON = 201,  // 16 x 16, 24 bits; its key colour is RGB(212, 232, 253)
};

struct ResourceBytes {
  const std::uint8_t* pData = nullptr;
  std::size_t nSize = 0;
};

// The file of bitmap `id`; empty (no data, size 0) when the module has no bitmap of that id.
ResourceBytes LoadBitmapBytes(unsigned id);
