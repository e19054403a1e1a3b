// Arbitrary command buffers through both software-SMI handlers (0xE3 commands,
// 0xE0 brightness).
//
// The buffer is one page whose end is the start of an inaccessible guard page
// (and whose start follows another), so a read or write past either end
// faults at once; a second variant starts it at an odd address in a heap
// block of exactly its size, so ASan catches any overrun and UBSan any
// misaligned access.
//
// Input: flags byte (bit 0: SMI 0xE0, bit 1: password guard on in "Setup",
// bit 2: an administrator password is set, bit 3: odd-address variant), fill
// byte for the part of the page the input does not cover, then the buffer.
#include "Platform/SmmCommandBuffer.h"
#include "button_smm/Globals.h"
#include "button_smm/Routines.h"
#include "common/TestBoard.h"
#include "sim/board/Board.h"
#include "sim/io/AccessTrace.h"
#include "sim/setup/PasswordService.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr EFI_GUID kSetupGuid = {
    0xEC87D643, 0xEBA4, 0x4BB5, {0xA1, 0xE5, 0x3F, 0x3E, 0x36, 0xB2, 0x0D, 0xA9}};

// A board with ButtonSmm started in SMM; the handlers are then called directly.
class FuzzBoard {
public:
  FuzzBoard()
      : board_(
            testboard::json{
                {"boot",
                 {{"phases", {"power-on", "dxe-ready", "board-protocols", "load-button-smm"}}}},
                {"drivers",
                 {{"tpm_platform", {{"load", false}}}, {"button_smm", {{"load", true}}}}}},
            testboard::FreshStateDirectory("smi-command-fuzz"), true, "fuzz") {
    board_->PowerOn();
    board_->Find<sim::PasswordService>()->SetPresent(true);
    board_->Run([](sim::Board &b) { b.Sequence().Run(b); });
    if (ButtonSmm::gSmmCommandBufferAddress == nullptr)
      std::abort(); // start-up did not reach the command buffer
  }

  // "Setup" byte 771 and the administrator password for the next request.
  void Prepare(bool guard, bool adminPassword) {
    std::vector<uint8_t> setup(928, 0);
    setup[771] = guard ? 1 : 0;
    board_->Variables().Set(u"Setup", &kSetupGuid, 7, setup.size(), setup.data());
    board_->Variables().ClearWrites();
    auto *passwords = board_->Find<sim::PasswordService>();
    passwords->SetAdminPassword(adminPassword ? std::optional<std::u16string>(u"secret")
                                              : std::nullopt);
    passwords->ClearCalls();
    board_->Trace().Clear();
  }

private:
  testboard::TestBoard board_;
};

constexpr size_t kBufferSize = kCbDefaultSize;

struct GuardedPage {
  uint8_t *Base = nullptr; // guard, buffer page, guard
  size_t Page = 0;

  GuardedPage() {
    Page = size_t(sysconf(_SC_PAGESIZE));
    Base = static_cast<uint8_t *>(
        mmap(nullptr, 3 * Page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (Base == MAP_FAILED || mprotect(Base + Page, Page, PROT_READ | PROT_WRITE) != 0)
      std::abort();
  }
  // The buffer's last byte is the page's last byte.
  uint8_t *Buffer() const { return Base + 2 * Page - kBufferSize; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  static GuardedPage Guarded;
  static FuzzBoard Board;
  if (Size < 2)
    return 0;
  const uint8_t Flags = Data[0];
  const uint8_t Fill = Data[1];
  Data += 2;
  Size -= 2;

  Board.Prepare((Flags & 0x02) != 0, (Flags & 0x04) != 0);

  std::vector<uint8_t> Heap;
  uint8_t *Buffer;
  if ((Flags & 0x08) != 0) {
    // One byte before an odd start: the block ends exactly with the buffer.
    Heap.assign(kBufferSize + 1, Fill);
    Buffer = Heap.data() + 1;
  } else {
    Buffer = Guarded.Buffer();
  }
  std::memset(Buffer, Fill, kBufferSize);
  std::memcpy(Buffer, Data, Size < kBufferSize ? Size : kBufferSize);
  std::vector<uint8_t> Before(Buffer, Buffer + kBufferSize);

  ButtonSmm::gSmmCommandBufferAddress = Buffer;
  if ((Flags & 0x01) != 0)
    ButtonSmm::BrightnessSmiHandler(nullptr, nullptr);
  else
    ButtonSmm::CommandDispatcher(nullptr, nullptr);
  ButtonSmm::gSmmCommandBufferAddress = nullptr;

  // Every reply sets "handled"; nothing in the fixed part but the five words
  // may change.
  constexpr size_t Reserved = offsetof(SmmCommandBufferHeader, Reserved);
  uint32_t Status;
  std::memcpy(&Status, Buffer + kCbStatus, 4);
  if ((Status & kCbStatusHandled) == 0 ||
      std::memcmp(Before.data() + Reserved, Buffer + Reserved, kCbStrings - Reserved) != 0)
    __builtin_trap();
  return 0;
}
