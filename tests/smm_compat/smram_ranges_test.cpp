// The loader's test of a source buffer against the SMRAM ranges.
#include "smm_compat/core/SmramRanges.h"

#include <gtest/gtest.h>

using namespace SmmCompat;

TEST(SmramRanges, BufferMustLieWhollyOutside) {
  const SmramRange Tseg[] = {{0xF000000, 0x1000}, {0xF001000, 0xFFF000}};
  struct {
    const char *Name;
    UINT64 Address, Size;
    BOOLEAN Outside;
  } Cases[] = {
      {"below", 0x100000, 0x2000, TRUE},
      {"ends where SMRAM starts", 0xEFFF000, 0x1000, TRUE},
      {"starts where SMRAM ends", 0x10000000, 0x1000, TRUE},
      {"last byte in SMRAM", 0xEFFF000, 0x1001, FALSE},
      {"inside the second range", 0xF9CF000, 0x10, FALSE},
      {"spans both ranges", 0xF000800, 0x1000, FALSE},
      {"covers all of SMRAM", 0x0, 0x20000000, FALSE},
      {"wraps around", 0xFFFFFFFFFFFFF000ull, 0x2000, FALSE},
      {"empty", 0x100000, 0, FALSE},
  };
  for (const auto &C : Cases)
    EXPECT_EQ(BufferOutsideSmram(Tseg, 2, C.Address, C.Size), C.Outside) << C.Name;
  EXPECT_FALSE(BufferOutsideSmram(Tseg, 0, 0x100000, 0x10)) << "no range known";
  EXPECT_FALSE(BufferOutsideSmram(nullptr, 2, 0x100000, 0x10)) << "no range table";
}
