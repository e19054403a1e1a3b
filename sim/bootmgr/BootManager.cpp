// The boot manager: "BootOrder" and Boot#### variables holding real load
// options, the Secure Boot variables holding the signature lists made at build
// time, and the boot itself: signal ready-to-boot, start the next boot option
// in BootOrder; when it returns, signal again and try the next; finally end
// boot services. Board file section "boot_manager".
#include "Guid/ImageAuthentication.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/bootmgr/LoadOption.h"
#include "sim/bootmgr/SecureBootKeys.h"
#include "sim/core/Events.h"
#include "sim/report/Report.h"

#include <algorithm>
#include <cstdio>

namespace sim {
namespace {

constexpr UINT32 kNvBsRt =
    EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS;
constexpr UINT32 kBsRt = EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS;
constexpr UINT32 kAuthenticated = kNvBsRt | EFI_VARIABLE_TIME_BASED_AUTHENTICATED_WRITE_ACCESS;

struct Option {
  uint16_t Number;
  bootmgr::LoadOption Load;
};

class BootManager : public Component {
public:
  std::string_view Name() const override { return "boot_manager"; }

  void Configure(ConfigSection &s) override {
    for (ConfigSection *o : s.Objects("options")) {
      Option option;
      option.Number = static_cast<uint16_t>(o->Integer("number", 0, 0, 0xFFFF));
      const std::string description = o->String("description", "Boot option");
      const std::string path = o->String("path", "\\EFI\\BOOT\\BOOTX64.EFI");
      option.Load.Description.assign(description.begin(), description.end());
      option.Load.FilePath.assign(path.begin(), path.end());
      option.Load.Attributes = o->Bool("active", true) ? bootmgr::LOAD_OPTION_ACTIVE : 0;
      options_.push_back(std::move(option));
    }
    if (!s.Has("options"))
      options_ = DefaultOptions();
    if (s.Has("order")) {
      hasOrder_ = true;
      const json *order = s.Raw("order");
      if (!order->is_array())
        s.Fail("order", "expected an array of option numbers");
      for (const auto &n : *order) {
        if (!n.is_number_unsigned() || n.get<uint64_t>() > 0xFFFF)
          s.Fail("order", "expected option numbers 0 to 0xFFFF");
        order_.push_back(static_cast<uint16_t>(n.get<uint64_t>()));
      }
    } else {
      hasOrder_ = true;
      for (const auto &o : options_)
        order_.push_back(o.Number);
    }
    hasOrder_ = s.Bool("boot_order_present", hasOrder_);
    if (s.Has("order_bytes"))
      rawOrder_ = s.Bytes("order_bytes", {});

    ConfigSection &sb = s.Object("secure_boot");
    secureBoot_ = static_cast<int>(sb.Integer("state", 1, 0, 1));
    secureBootPresent_ = sb.Bool("present", true);
    keys_ = sb.Strings("keys", {"PK", "KEK", "db", "dbx"});
    for (const auto &k : keys_)
      if (k != "PK" && k != "KEK" && k != "db" && k != "dbx")
        sb.Fail("keys", "unknown key \"" + k + "\" (PK, KEK, db, dbx)");
    attempts_ = static_cast<unsigned>(s.Integer("ready_to_boot_signals", 1, 0, 16));
    exitBootServices_ = s.Bool("exit_boot_services", true);
  }

  void AttachPhases(BootSequence &sequence) override {
    sequence.Attach("early", "boot_manager", [this](Board &b) { WriteVariables(b); });
    sequence.Attach("ready-to-boot", "boot_manager", [this](Board &b) { TryBootOptions(b); });
    sequence.Attach("exit-boot-services", "boot_manager", [this](Board &b) {
      if (exitBootServices_)
        b.ExitBootServices();
    });
  }

  void PowerOn(Board &) override { log_.clear(); }

  void Report(Board &, BootReport &report) override {
    report.Section("boot_manager").Data = {{"log", log_}};
  }

private:
  static std::vector<Option> DefaultOptions() {
    return {{3, {bootmgr::LOAD_OPTION_ACTIVE, u"Debian", u"\\EFI\\debian\\shimx64.efi", {}}},
            {0, {bootmgr::LOAD_OPTION_ACTIVE, u"UEFI Shell", u"\\EFI\\BOOT\\BOOTX64.EFI", {}}},
            {1, {bootmgr::LOAD_OPTION_ACTIVE, u"Network boot", u"\\EFI\\PXE\\IPXE.EFI", {}}}};
  }

  void WriteVariables(Board &board) {
    VariableStore &vars = board.Variables();
    for (const auto &o : options_)
      vars.Put({bootmgr::BootOptionName(o.Number), gEfiGlobalVariableGuid, kNvBsRt,
                bootmgr::EncodeLoadOption(o.Load)});
    if (hasOrder_) {
      std::vector<uint8_t> bytes = rawOrder_;
      if (bytes.empty())
        for (uint16_t n : order_) {
          bytes.push_back(n & 0xFF);
          bytes.push_back(n >> 8);
        }
      vars.Put({u"BootOrder", gEfiGlobalVariableGuid, kNvBsRt, bytes});
    } else {
      vars.Erase(u"BootOrder", gEfiGlobalVariableGuid);
    }

    if (secureBootPresent_)
      vars.Put({u"SecureBoot", gEfiGlobalVariableGuid, kBsRt, {static_cast<uint8_t>(secureBoot_)}});
    struct Key {
      const char *Name;
      const char16_t *Variable;
      const EFI_GUID *Guid;
      std::span<const uint8_t> List;
    };
    const Key keys[] = {
        {"PK", u"PK", &gEfiGlobalVariableGuid, bootmgr::kPKSignatureList},
        {"KEK", u"KEK", &gEfiGlobalVariableGuid, bootmgr::kKEKSignatureList},
        {"db", u"db", &gEfiImageSecurityDatabaseGuid, bootmgr::kdbSignatureList},
        {"dbx", u"dbx", &gEfiImageSecurityDatabaseGuid, bootmgr::kdbxSignatureList},
    };
    for (const Key &k : keys) {
      if (std::find(keys_.begin(), keys_.end(), k.Name) != keys_.end())
        vars.Put({k.Variable, *k.Guid, kAuthenticated, {k.List.begin(), k.List.end()}});
      else
        vars.Erase(k.Variable, *k.Guid);
    }
  }

  void TryBootOptions(Board &board) {
    // The options in BootOrder order that exist; the last one tried does not
    // return (it boots the operating system).
    std::vector<const Option *> candidates;
    for (uint16_t n : order_)
      for (const auto &o : options_)
        if (o.Number == n && (o.Load.Attributes & bootmgr::LOAD_OPTION_ACTIVE))
          candidates.push_back(&o);
    for (unsigned attempt = 0; attempt < attempts_; ++attempt) {
      board.Events().SignalGroup(gEfiEventReadyToBootGuid);
      log_.push_back("ready-to-boot signalled (" + std::to_string(attempt + 1) + ")");
      if (candidates.empty())
        continue;
      const Option &o = *candidates[attempt % candidates.size()];
      std::string description(o.Load.Description.begin(), o.Load.Description.end());
      const std::u16string wide = bootmgr::BootOptionName(o.Number);
      const std::string name(wide.begin(), wide.end());
      const bool last = attempt + 1 == attempts_;
      std::string line = "started " + name;
      line += " \"" + description + "\"";
      line += last ? ": it boots the operating system" : ": it returned";
      log_.push_back(std::move(line));
    }
  }

  std::vector<Option> options_;
  std::vector<uint16_t> order_;
  std::vector<uint8_t> rawOrder_;
  bool hasOrder_ = true;
  int secureBoot_ = 1;
  bool secureBootPresent_ = true;
  std::vector<std::string> keys_;
  unsigned attempts_ = 1;
  bool exitBootServices_ = true;
  std::vector<std::string> log_;
};

} // namespace

std::unique_ptr<Component> MakeBootManager() {
  return std::make_unique<BootManager>();
}

} // namespace sim
