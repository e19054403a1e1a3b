// The boot-script save interface in both call forms, as drivers call it.
#include "smm_compat/core/BootScriptLog.h"

#include <gtest/gtest.h>

using namespace SmmCompat;

namespace {

class BootScript : public ::testing::Test {
protected:
  void SetUp() override { InitBootScriptLog(&Record); }
  void TearDown() override { InitBootScriptLog(nullptr); }
  CompatRecord Record{};
  EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Framework = FrameworkBootScript();
  EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Pi = PiBootScript();
  EFI_S3_SAVE_STATE_WRITE PiWrite = reinterpret_cast<EFI_S3_SAVE_STATE_WRITE>(Pi->Write);
};

TEST_F(BootScript, BothFormsRecordTheSameOperands) {
  UINT8 Byte = 0x5A;
  UINT16 Word = 0xBEEF;
  UINT32 Data = 0x4, Mask = 0xFFFFFFF3;
  UINT64 Pci = BootScriptPciAddress(0, 31, 0, 0xB8);
  EXPECT_EQ(Framework->Write(Framework, EFI_ACPI_S3_RESUME_SCRIPT_TABLE,
                             EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, EfiBootScriptWidthUint8,
                             UINT64(0x8FF), UINTN(1), &Byte),
            EFI_SUCCESS);
  EXPECT_EQ(PiWrite(Pi, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, EfiBootScriptWidthUint16, UINT64(0x438),
                    UINTN(1), &Word),
            EFI_SUCCESS);
  EXPECT_EQ(Framework->Write(Framework, EFI_ACPI_S3_RESUME_SCRIPT_TABLE,
                             EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE, EfiBootScriptWidthUint32,
                             Pci, &Data, &Mask),
            EFI_SUCCESS);
  EXPECT_EQ(PiWrite(Pi, EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE, EfiBootScriptWidthUint32,
                    UINT64(0x500), &Data, &Mask),
            EFI_SUCCESS);
  struct {
    UINT8 Form, OpCode, Width;
    UINT64 Address, Value, Mask;
  } Expected[] = {
      {kFormFramework, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, 0, 0x8FF, 0x5A, 0},
      {kFormPi, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, 1, 0x438, 0xBEEF, 0},
      {kFormFramework, EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE, 2, Pci, 4, 0xFFFFFFF3},
      {kFormPi, EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE, 2, 0x500, 4, 0xFFFFFFF3},
  };
  ASSERT_EQ(Record.BootScriptCount, 4u);
  for (size_t i = 0; i < 4; ++i) {
    const BootScriptEntry &E = Record.BootScript[i];
    EXPECT_EQ(E.Form, Expected[i].Form) << i;
    EXPECT_EQ(E.OpCode, Expected[i].OpCode) << i;
    EXPECT_EQ(E.Width, Expected[i].Width) << i;
    EXPECT_EQ(E.Address, Expected[i].Address) << i;
    EXPECT_EQ(E.Value, Expected[i].Value) << i;
    EXPECT_EQ(E.Mask, Expected[i].Mask) << i;
  }
}

TEST_F(BootScript, BadWritesAreRefusedAndNotRecorded) {
  UINT8 Byte = 1;
  struct {
    const char *Name;
    EFI_STATUS Got, Expected;
  } Cases[] = {
      {"other table",
       Framework->Write(Framework, 1, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, EfiBootScriptWidthUint8,
                        UINT64(0x80), UINTN(1), &Byte),
       EFI_INVALID_PARAMETER},
      {"width beyond 64 bits",
       PiWrite(Pi, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, 4u, UINT64(0x80), UINTN(1), &Byte),
       EFI_INVALID_PARAMETER},
      {"no buffer",
       PiWrite(Pi, EFI_BOOT_SCRIPT_MEM_WRITE_OPCODE, EfiBootScriptWidthUint8, UINT64(0x1000),
               UINTN(1), nullptr),
       EFI_INVALID_PARAMETER},
      {"count 0",
       PiWrite(Pi, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, EfiBootScriptWidthUint8, UINT64(0x80), UINTN(0),
               &Byte),
       EFI_INVALID_PARAMETER},
      {"no mask",
       PiWrite(Pi, EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE, EfiBootScriptWidthUint8, UINT64(0x80),
               &Byte, nullptr),
       EFI_INVALID_PARAMETER},
      {"unknown opcode", PiWrite(Pi, UINTN(0x7F)), EFI_UNSUPPORTED},
  };
  for (const auto &C : Cases)
    EXPECT_EQ(C.Got, C.Expected) << C.Name;
  EXPECT_EQ(Record.BootScriptCount, 0u);
}

TEST_F(BootScript, FullLogCountsWhatItDrops) {
  UINT8 Byte = 7;
  for (UINTN i = 0; i < kMaxBootScriptEntries; ++i)
    ASSERT_EQ(PiWrite(Pi, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, EfiBootScriptWidthUint8, UINT64(i),
                      UINTN(1), &Byte),
              EFI_SUCCESS);
  EXPECT_EQ(PiWrite(Pi, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, EfiBootScriptWidthUint8, UINT64(0x99),
                    UINTN(1), &Byte),
            EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(Record.BootScriptCount, kMaxBootScriptEntries);
  EXPECT_EQ(Record.BootScriptDropped, 1u);
  EFI_PHYSICAL_ADDRESS Address = 0;
  EXPECT_EQ(Framework->CloseTable(Framework, EFI_ACPI_S3_RESUME_SCRIPT_TABLE, &Address),
            EFI_SUCCESS);
  EXPECT_EQ(Address, reinterpret_cast<UINTN>(&Record));
}

} // namespace
