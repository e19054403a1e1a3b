#include "BoardFixture.h"

#include "sim/core/Pool.h"

#include <algorithm>

namespace {

using PoolTest = simtest::BoardTest;

TEST_F(PoolTest, CountsLiveBlocksAndCatchesBadFrees) {
  sim::PoolAllocator &pool = board_->Pool();
  const size_t blocks = pool.LiveCount(), bytes = pool.LiveBytes(); // the board's own
  VOID *a = nullptr, *b = nullptr, *c = nullptr;
  ASSERT_EQ(bs_->AllocatePool(EfiBootServicesData, 100, &a), EFI_SUCCESS);
  ASSERT_EQ(bs_->AllocatePool(EfiRuntimeServicesData, 28, &b), EFI_SUCCESS);
  ASSERT_EQ(bs_->AllocatePool(EfiBootServicesData, 0, &c), EFI_SUCCESS);
  EXPECT_EQ(pool.LiveCount(), blocks + 3);
  EXPECT_EQ(pool.LiveBytes(), bytes + 128);
  // Fresh pool is not zeroed: code that relies on it shows up.
  EXPECT_EQ(static_cast<UINT8 *>(a)[99], sim::PoolAllocator::kFreshFill);

  EXPECT_EQ(bs_->FreePool(a), EFI_SUCCESS);
  EXPECT_EQ(pool.LiveBytes(), bytes + 28);
  struct Misuse {
    VOID *address;
    const char *kind;
  } misuses[] = {
      {a, "double free"},
      {static_cast<UINT8 *>(b) + 4, "free of an address inside a block"},
      {&pool, "free of an address never allocated"},
  };
  for (const auto &m : misuses)
    EXPECT_EQ(bs_->FreePool(m.address), EFI_INVALID_PARAMETER) << m.kind;
  ASSERT_EQ(pool.Misuses().size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(pool.Misuses()[i].Kind, misuses[i].kind);
  EXPECT_EQ(pool.LiveCount(), blocks + 2);

  EXPECT_EQ(bs_->AllocatePool(EfiConventionalMemory, 8, &a), EFI_INVALID_PARAMETER);
  EXPECT_EQ(bs_->AllocatePool(EfiBootServicesData, 8, nullptr), EFI_INVALID_PARAMETER);
}

TEST_F(PoolTest, TheBootReportListsLeaksAndMisuse) {
  const size_t blocks = board_->Pool().LiveCount(), bytes = board_->Pool().LiveBytes();
  sim::BootResult result = board_->Run([](sim::Board &board) {
    EFI_BOOT_SERVICES *bs = board.BootServices();
    VOID *kept = nullptr, *freed = nullptr;
    bs->AllocatePool(EfiBootServicesData, 40, &kept);
    bs->AllocatePool(EfiBootServicesData, 8, &freed);
    bs->FreePool(freed);
    bs->FreePool(freed);
  });
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed);
  const sim::ReportSection *pool = board_->Report().Find("pool");
  ASSERT_NE(pool, nullptr);
  EXPECT_EQ(pool->Data["live_blocks"], blocks + 1);
  EXPECT_EQ(pool->Data["live_bytes"], bytes + 40);
  const auto &errors = board_->Report().Errors();
  EXPECT_EQ(std::count_if(errors.begin(), errors.end(),
                          [](const std::string &e) { return e.find("double free") != e.npos; }),
            1);
  EXPECT_TRUE(board_->Reports().HasErrors());
}

} // namespace
