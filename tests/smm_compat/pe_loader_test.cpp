// The SMRAM loader on the project's real images: relocations checked against
// the list llvm-readobj reads from the same file, and mutated images refused.
#include "smm_compat/core/PeLoader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace SmmCompat;

namespace {

std::string ImagePath(const char *Relative) {
  return std::string(IMAGE_DIR) + "/" + Relative;
}

std::vector<UINT8> ReadFile(const std::string &Path) {
  std::ifstream In(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

// The DIR64 relocation addresses (RVAs) as llvm-readobj lists them.
std::vector<UINT32> ReadobjRelocations(const std::string &Path) {
  std::string Command = std::string(LLVM_READOBJ) + " --coff-basereloc " + Path;
  FILE *Pipe = popen(Command.c_str(), "r");
  std::vector<UINT32> Out;
  if (Pipe == nullptr)
    return Out;
  char Line[256];
  bool Dir64 = false;
  while (fgets(Line, sizeof(Line), Pipe) != nullptr) {
    std::string L(Line);
    if (L.find("Type: DIR64") != std::string::npos)
      Dir64 = true;
    else if (L.find("Type:") != std::string::npos)
      Dir64 = false;
    else if (Dir64 && L.find("Address: ") != std::string::npos)
      Out.push_back(UINT32(std::stoul(L.substr(L.find("0x")), nullptr, 16)));
  }
  pclose(Pipe);
  return Out;
}

UINT32 Get32(const std::vector<UINT8> &F, size_t At) {
  return F[At] | F[At + 1] << 8 | F[At + 2] << 16 | UINT32(F[At + 3]) << 24;
}
void Put32(std::vector<UINT8> &F, size_t At, UINT32 V) {
  for (int i = 0; i < 4; ++i)
    F[At + i] = UINT8(V >> (8 * i));
}
void Put16(std::vector<UINT8> &F, size_t At, UINT16 V) {
  F[At] = UINT8(V);
  F[At + 1] = UINT8(V >> 8);
}
UINT64 Get64(const UINT8 *P) {
  UINT64 V;
  std::memcpy(&V, P, 8);
  return V;
}

// File offsets of the headers the mutations touch.
struct Layout {
  size_t Pe, Coff, Opt, Sections;
  size_t RelocFile; // file offset of the first relocation block
};
Layout LayoutOf(const std::vector<UINT8> &F) {
  Layout L{};
  L.Pe = Get32(F, 0x3C);
  L.Coff = L.Pe + 4;
  L.Opt = L.Coff + 20;
  L.Sections = L.Opt + (F[L.Coff + 16] | F[L.Coff + 17] << 8);
  UINT32 RelocRva = Get32(F, L.Opt + 112 + 8 * 5);
  unsigned Count = F[L.Coff + 2] | F[L.Coff + 3] << 8;
  for (unsigned s = 0; s < Count; ++s) {
    size_t H = L.Sections + 40 * s;
    UINT32 Rva = Get32(F, H + 12), Size = Get32(F, H + 8);
    if (RelocRva >= Rva && RelocRva < Rva + Size)
      L.RelocFile = Get32(F, H + 20) + (RelocRva - Rva);
  }
  return L;
}

struct LoadResult {
  EFI_STATUS Check;
  EFI_STATUS Load;
  PeImageInfo Info;
  std::vector<UINT8> Memory;
};
LoadResult Load(const std::vector<UINT8> &F, UINT64 Base) {
  LoadResult R{};
  R.Check = PeImageCheck(F.data(), F.size(), &R.Info);
  R.Load = EFI_NOT_STARTED;
  if (R.Check == EFI_SUCCESS) {
    R.Memory.assign(R.Info.SizeOfImage, 0xCC);
    R.Load = PeImageLoad(F.data(), F.size(), R.Info, R.Memory.data(), Base);
  }
  return R;
}

class RealImage : public ::testing::TestWithParam<const char *> {};

TEST_P(RealImage, RelocatesExactlyTheSlotsTheImageLists) {
  std::string Path = ImagePath(GetParam());
  std::vector<UINT8> File = ReadFile(Path);
  if (File.empty())
    GTEST_SKIP() << Path << " is not built (scripts/build.sh default builds the images)";
  ASSERT_GT(File.size(), 0x200u) << Path;
  std::vector<UINT32> Relocations = ReadobjRelocations(Path);
  ASSERT_FALSE(Relocations.empty()) << "llvm-readobj lists no DIR64 relocation in " << Path;

  const UINT64 BaseA = 0x7F000000, BaseB = 0x0000000123456000ull;
  LoadResult A = Load(File, BaseA), B = Load(File, BaseB);
  ASSERT_EQ(A.Check, EFI_SUCCESS);
  ASSERT_EQ(A.Load, EFI_SUCCESS);
  ASSERT_EQ(B.Load, EFI_SUCCESS);
  EXPECT_EQ(A.Info.ImageBase, 0u) << "the images are linked at base 0";
  EXPECT_EQ(0, std::memcmp(A.Memory.data(), File.data(), A.Info.SizeOfHeaders));

  // Each listed slot holds its linked value plus the load base; apart from
  // those slots both loads are the same bytes.
  for (UINT32 Rva : Relocations) {
    ASSERT_LE(Rva + 8, A.Info.SizeOfImage);
    EXPECT_EQ(Get64(&B.Memory[Rva]) - Get64(&A.Memory[Rva]), BaseB - BaseA) << "slot " << Rva;
    EXPECT_GE(Get64(&A.Memory[Rva]), BaseA) << "slot " << Rva;
    std::memset(&A.Memory[Rva], 0, 8);
    std::memset(&B.Memory[Rva], 0, 8);
  }
  EXPECT_EQ(A.Memory, B.Memory) << "bytes outside the relocation slots differ";
}

INSTANTIATE_TEST_SUITE_P(Images, RealImage,
                         ::testing::Values("button_smm/ButtonSmm.efi",
                                           "smm_compat/SmmCompatSmm.efi",
                                           "smm_compat/SmmCompatDxe.efi"));

struct Mutation {
  const char *Name;
  std::function<void(std::vector<UINT8> &, const Layout &)> Apply;
  EFI_STATUS CheckStatus; // what PeImageCheck says
  EFI_STATUS LoadStatus;  // what PeImageLoad says when the check passes
};

TEST(PeLoader, RefusesBrokenImages) {
  const std::vector<UINT8> Good = ReadFile(ImagePath("button_smm/ButtonSmm.efi"));
  if (Good.empty())
    GTEST_SKIP() << "ButtonSmm.efi is not built (scripts/build.sh default builds the images)";
  ASSERT_GT(Good.size(), 0x200u);
  const Mutation Cases[] = {
      {"truncated to the DOS header", [](auto &F, auto &) { F.resize(0x30); }, EFI_LOAD_ERROR,
       EFI_NOT_STARTED},
      {"no MZ", [](auto &F, auto &) { F[0] = 'X'; }, EFI_LOAD_ERROR, EFI_NOT_STARTED},
      {"PE header offset past the end",
       [](auto &F, auto &) { Put32(F, 0x3C, UINT32(F.size() - 8)); }, EFI_LOAD_ERROR,
       EFI_NOT_STARTED},
      {"no PE signature", [](auto &F, auto &L) { F[L.Pe] = 'Q'; }, EFI_LOAD_ERROR, EFI_NOT_STARTED},
      {"32-bit optional header", [](auto &F, auto &L) { Put16(F, L.Opt, 0x10B); }, EFI_LOAD_ERROR,
       EFI_NOT_STARTED},
      {"i386 machine", [](auto &F, auto &L) { Put16(F, L.Coff, 0x14C); }, EFI_UNSUPPORTED,
       EFI_NOT_STARTED},
      {"SizeOfImage 0", [](auto &F, auto &L) { Put32(F, L.Opt + 56, 0); }, EFI_LOAD_ERROR,
       EFI_NOT_STARTED},
      {"SizeOfImage 1 GiB", [](auto &F, auto &L) { Put32(F, L.Opt + 56, 1u << 30); },
       EFI_LOAD_ERROR, EFI_NOT_STARTED},
      {"headers larger than the file",
       [](auto &F, auto &L) { Put32(F, L.Opt + 60, UINT32(F.size() + 1)); }, EFI_LOAD_ERROR,
       EFI_NOT_STARTED},
      {"entry point outside the image",
       [](auto &F, auto &L) { Put32(F, L.Opt + 16, Get32(F, L.Opt + 56)); }, EFI_LOAD_ERROR,
       EFI_NOT_STARTED},
      {"section beyond SizeOfImage",
       [](auto &F, auto &L) { Put32(F, L.Sections + 8, Get32(F, L.Opt + 56)); }, EFI_LOAD_ERROR,
       EFI_NOT_STARTED},
      {"section data beyond the file",
       [](auto &F, auto &L) { Put32(F, L.Sections + 20, UINT32(F.size() - 4)); }, EFI_LOAD_ERROR,
       EFI_NOT_STARTED},
      {"section count past the headers", [](auto &F, auto &L) { Put16(F, L.Coff + 2, 0x7FFF); },
       EFI_LOAD_ERROR, EFI_NOT_STARTED},
      {"relocations stripped", [](auto &F, auto &L) { F[L.Coff + 18] |= 0x01; }, EFI_UNSUPPORTED,
       EFI_NOT_STARTED},
      {"no relocation directory", [](auto &F, auto &L) { Put32(F, L.Opt + 112 + 44, 0); },
       EFI_UNSUPPORTED, EFI_NOT_STARTED},
      {"relocation directory outside the image",
       [](auto &F, auto &L) { Put32(F, L.Opt + 112 + 40, Get32(F, L.Opt + 56) - 4); },
       EFI_LOAD_ERROR, EFI_NOT_STARTED},
      {"imports", [](auto &F, auto &L) { Put32(F, L.Opt + 112 + 12, 40); }, EFI_UNSUPPORTED,
       EFI_NOT_STARTED},
      {"relocation type HIGHLOW",
       [](auto &F, auto &L) { Put16(F, L.RelocFile + 8, UINT16(0x3000 | 0x10)); }, EFI_SUCCESS,
       EFI_UNSUPPORTED},
      {"relocation block of size 0", [](auto &F, auto &L) { Put32(F, L.RelocFile + 4, 0); },
       EFI_SUCCESS, EFI_LOAD_ERROR},
      {"relocation block past the directory",
       [](auto &F, auto &L) { Put32(F, L.RelocFile + 4, 0x100000); }, EFI_SUCCESS, EFI_LOAD_ERROR},
      {"relocation target past the image",
       [](auto &F, auto &L) { Put32(F, L.RelocFile, Get32(F, L.Opt + 56) - 0x8); }, EFI_SUCCESS,
       EFI_LOAD_ERROR},
  };
  for (const Mutation &M : Cases) {
    std::vector<UINT8> F = Good;
    Layout L = LayoutOf(F);
    ASSERT_NE(L.RelocFile, 0u);
    M.Apply(F, L);
    LoadResult R = Load(F, 0x7F000000);
    EXPECT_EQ(R.Check, M.CheckStatus) << M.Name;
    if (M.CheckStatus == EFI_SUCCESS)
      EXPECT_EQ(R.Load, M.LoadStatus) << M.Name;
  }
}

TEST(PeLoader, NullAndEmptyInputs) {
  PeImageInfo Info{};
  UINT8 Byte = 'M';
  EXPECT_EQ(PeImageCheck(nullptr, 4096, &Info), EFI_LOAD_ERROR);
  EXPECT_EQ(PeImageCheck(&Byte, 0, &Info), EFI_LOAD_ERROR);
  EXPECT_EQ(PeImageLoad(nullptr, 0, Info, nullptr, 0), EFI_INVALID_PARAMETER);
}

} // namespace
