#include "support/Strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void Pattern(UINT8 *p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    p[i] = static_cast<UINT8>(i * 7 + 1);
}

// Within one buffer: every source and destination offset, so both copy directions, every
// overlap distance and every relative alignment, against memmove.
TEST(CopyBytes, OverlapInBothDirectionsAtAllAlignments) {
  constexpr size_t kSize = 96;
  alignas(8) UINT8 actual[kSize];
  alignas(8) UINT8 expected[kSize];
  for (size_t src = 0; src < 24; ++src)
    for (size_t dst = 0; dst < 24; ++dst)
      for (size_t len = 0; len <= 40; ++len) {
        Pattern(actual, kSize);
        Pattern(expected, kSize);
        CopyBytes(actual + dst, actual + src, len);
        std::memmove(expected + dst, expected + src, len);
        ASSERT_EQ(std::memcmp(actual, expected, kSize), 0)
            << "src " << src << " dst " << dst << " len " << len;
      }
}

TEST(CopyBytes, SeparateBuffers) {
  alignas(8) UINT8 from[64];
  alignas(8) UINT8 to[64];
  for (size_t src = 0; src < 8; ++src)
    for (size_t dst = 0; dst < 8; ++dst)
      for (size_t len = 0; len <= 48; ++len) {
        Pattern(from, sizeof from);
        std::memset(to, 0xEE, sizeof to);
        CopyBytes(to + dst, from + src, len);
        for (size_t i = 0; i < sizeof to; ++i) {
          const bool inside = i >= dst && i < dst + len;
          ASSERT_EQ(to[i], inside ? from[src + i - dst] : 0xEE)
              << "src " << src << " dst " << dst << " len " << len << " at " << i;
        }
      }
}

// The result is the signed 8-bit difference at the first differing byte, wherever it lies
// relative to the word boundaries.
TEST(CompareBytes, FirstDifferenceAsSignedBytes) {
  alignas(8) UINT8 a[48];
  alignas(8) UINT8 b[48];
  const UINT8 pairs[][2] = {{0x80, 0x7F}, {0x7F, 0x80}, {0x01, 0x00}, {0xFF, 0x00}};
  for (size_t offA = 0; offA < 8; ++offA)
    for (size_t offB = 0; offB < 8; ++offB)
      for (size_t len = 0; len <= 30; ++len) {
        Pattern(a + offA, len);
        Pattern(b + offB, len);
        ASSERT_EQ(CompareBytes(a + offA, b + offB, len), 0);
        for (size_t at = 0; at < len; ++at)
          for (const auto &pair : pairs) {
            a[offA + at] = pair[0];
            b[offB + at] = pair[1];
            // A later difference must not win over the first one.
            if (at + 1 < len)
              a[offA + len - 1] ^= 0x55;
            const INTN expected = INT8(pair[0]) - INT8(pair[1]);
            ASSERT_EQ(CompareBytes(a + offA, b + offB, len), expected)
                << offA << "/" << offB << " len " << len << " at " << at;
            Pattern(a + offA, len);
            Pattern(b + offB, len);
          }
      }
}

TEST(FillBytes, AllAlignmentsAndLengths) {
  alignas(8) UINT8 buffer[64];
  for (size_t off = 0; off < 8; ++off)
    for (size_t len = 0; len <= 40; ++len) {
      std::memset(buffer, 0x11, sizeof buffer);
      FillBytes(buffer + off, len, 0xA5);
      for (size_t i = 0; i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], i >= off && i < off + len ? 0xA5 : 0x11)
            << "off " << off << " len " << len << " at " << i;
    }
}

} // namespace
