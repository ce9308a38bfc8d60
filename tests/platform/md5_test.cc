#include "platform/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const Md5Digest& digest) {
  static const char* kDigits = "0123456789abcdef";
  std::string out;
  for (std::uint8_t byte : digest) {
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0xF]);
  }
  return out;
}

// The test suite of RFC 1321, appendix A.5.
TEST(Md5Test, MatchesTheReferenceVectors) {
  EXPECT_EQ(Hex(ComputeMd5("")), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Hex(ComputeMd5("a")), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Hex(ComputeMd5("abc")), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Hex(ComputeMd5("message digest")), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(
      Hex(ComputeMd5(
          "12345678901234567890123456789012345678901234567890123456789012345678901234567890")),
      "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Test, HashesEmbeddedZeroBytes) {
  EXPECT_NE(Hex(ComputeMd5(std::string("a\0b", 3))), Hex(ComputeMd5("a")));
}

}  // namespace
