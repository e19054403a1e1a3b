// Device-path size, duplication and appending of the boot-service instance.
#include "button_smm/DevicePath.h"
#include "SmmBoard.h"
#include "button_smm/Globals.h"

namespace smmtest {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Node(uint8_t type, uint8_t subtype, uint16_t length, uint8_t fill) {
  Bytes node(length, fill);
  node[0] = type;
  node[1] = subtype;
  node[2] = uint8_t(length);
  node[3] = uint8_t(length >> 8);
  return node;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes &p : parts)
    all.insert(all.end(), p.begin(), p.end());
  return all;
}

const EFI_DEVICE_PATH_PROTOCOL *AsPath(const Bytes &bytes) {
  return reinterpret_cast<const EFI_DEVICE_PATH_PROTOCOL *>(bytes.data());
}

Bytes Copy(EFI_DEVICE_PATH_PROTOCOL *path, size_t size) {
  auto *p = reinterpret_cast<const uint8_t *>(path);
  Bytes bytes(p, p + size);
  ButtonSmm::gBS->FreePool(path);
  return bytes;
}

const Bytes kEnd = Node(0x7F, 0xFF, 4, 0);

TEST(SmmDevicePath, Size) {
  struct Case {
    const char *Name;
    Bytes Path;
    UINTN Size;
  };
  const Case cases[] = {
      {"end only", kEnd, 4},
      {"first node type 0", Join({Node(0, 1, 8, 0), kEnd}), 0},
      {"one node", Join({Node(4, 4, 20, 0xAA), kEnd}), 24},
      {"instance end is a node",
       Join({Node(1, 1, 6, 0), Node(0x7F, 0x01, 4, 0), Node(2, 1, 12, 0), kEnd}), 26},
      {"type 0xFF end", Join({Node(1, 1, 6, 0), Node(0xFF, 0xFF, 4, 0)}), 10},
      {"nodes after a type 0xFF end",
       Join({Node(1, 1, 6, 0), Node(0xFF, 0xFF, 4, 0), Node(2, 1, 12, 0), kEnd}), 10},
      {"subtype 0xFF of an ordinary node", Join({Node(3, 0xFF, 8, 0), kEnd}), 12},
      {"type 0x7F with another subtype", Join({Node(0x7F, 0x02, 6, 0), kEnd}), 10},
      {"zero length stops", Join({Node(1, 1, 6, 0), Bytes{3, 1, 0, 0}}), 6},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ButtonSmm::DevicePathSize(AsPath(c.Path)), c.Size) << c.Name;
  EXPECT_EQ(ButtonSmm::DevicePathSize(nullptr), 0u);
}

TEST(SmmDevicePath, AppendAndDuplicate) {
  SmmBoard board; // boot services for the pool
  Bytes first = Join({Node(1, 1, 20, 0x11), kEnd});
  Bytes second = Join({Node(4, 4, 8, 0x22), kEnd});
  EXPECT_EQ(Copy(ButtonSmm::AppendDevicePath(AsPath(first), AsPath(second)), 32),
            Join({Node(1, 1, 20, 0x11), Node(4, 4, 8, 0x22), kEnd}));
  EXPECT_EQ(Copy(ButtonSmm::AppendDevicePath(nullptr, nullptr), 4), kEnd);
  EXPECT_EQ(Copy(ButtonSmm::AppendDevicePath(AsPath(first), nullptr), 24), first);
  EXPECT_EQ(Copy(ButtonSmm::AppendDevicePath(nullptr, AsPath(second)), 12), second);
  EXPECT_EQ(Copy(ButtonSmm::DuplicateDevicePath(AsPath(second)), 12), second);
  EXPECT_EQ(ButtonSmm::DuplicateDevicePath(nullptr), nullptr);
  // A path without an end node cannot be appended to.
  Bytes broken = Join({Node(0, 0, 8, 0)});
  EXPECT_EQ(ButtonSmm::AppendDevicePath(AsPath(broken), AsPath(second)), nullptr);
}

} // namespace
} // namespace smmtest
