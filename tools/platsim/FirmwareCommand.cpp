// platsim firmware: the same drivers as PE images on real UEFI firmware (OVMF
// under QEMU, TPM 1.2 from swtpm). platsim only hands over to the run's
// script, which lays out the FAT volume, starts swtpm and QEMU and turns the
// test application's serial lines into the result. With --os the application
// then boots Linux, and scripts/os-run.sh checks what Linux read.
#include "tools/platsim/Commands.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace platsim {

namespace {

// The SMM story: the compatibility driver and ButtonSmm in a patched
// SMM-enabled OVMF image; an application plays the OS and raises the SMIs.
constexpr const char *kSmmScript = "firmware-smm-run.sh";
constexpr const char *kSmmBanner =
    "Firmware run: ButtonSmm in SMRAM on OVMF with SMM (q35, smm=on, TCG)\n"
    "tools/fwimage adds the SMM compatibility driver and ButtonSmm.efi to the DXE volume of\n"
    "OVMF_CODE_4M.secboot.fd; a test application plays the OS after boot, raises SMIs 0xE3\n"
    "and 0xE0 through port 0xB2 and prints one line per check.\n";

} // namespace

int RunFirmware(Args args) {
  static constexpr OptionRow kOptions[] = {
      {"--images", "DIR"}, {"--keep", "DIR"}, {"--os", ""}, {"--smm", ""}};
  ParsedArgs parsed = ParseArgs(args, kOptions);
  if (!parsed.Positionals().empty())
    throw UsageError("unexpected argument \"" + parsed.Positionals().front() + "\"");
  bool os = parsed.Has("--os");
  bool smm = parsed.Has("--smm");
  if (os && smm)
    throw UsageError("--os and --smm are separate runs: give one");
  // The script runs elsewhere: relative directories are the caller's.
  std::error_code ec;
  std::string images =
      std::filesystem::absolute(parsed.Value("--images").value_or(PLATSIM_IMAGES_DIR), ec).string();
  std::optional<std::string> keep = parsed.Value("--keep");
  if (keep)
    keep = std::filesystem::absolute(*keep, ec).string();
  const std::filesystem::path script = std::filesystem::path(PLATSIM_SOURCE_DIR) / "scripts" /
                                       (smm  ? kSmmScript
                                        : os ? "os-run.sh"
                                             : "firmware-run.sh");
  if (!std::filesystem::exists(script)) {
    std::cerr << "platsim firmware: " << script.string()
              << " is missing (platsim runs from the tree it was built from)\n";
    return 2;
  }
  if (smm)
    std::cout << kSmmBanner << "Images: " << images << "\n" << std::flush;
  else
    std::cout << "Firmware run: OVMF under QEMU, TPM 1.2 from swtpm\n"
                 "Images: "
              << images
              << "\n"
                 "A test application boots as \\EFI\\BOOT\\BOOTX64.EFI, loads TpmPlatformDxe.efi "
                 "and ButtonSmm.efi\nwith the firmware's LoadImage/StartImage, plays the TCG core "
                 "and prints one line per check.\n"
              << (os ? "Then it starts Debian's kernel from the same volume; the host checks the "
                       "drivers' records\nin the event log Linux read and replays it against "
                       "Linux's PCRs.\n"
                     : "")
              << std::flush;
  std::vector<std::string> argv = {"bash", script.string(), images};
  if (os)
    argv.push_back(PLATSIM_OS_DIR);
  if (keep) {
    argv.push_back("--keep");
    argv.push_back(*keep);
  }
  std::vector<char *> raw;
  raw.reserve(argv.size() + 1);
  for (auto &s : argv)
    raw.push_back(s.data());
  raw.push_back(nullptr);
  execvp("bash", raw.data());
  std::cerr << "platsim firmware: cannot start bash: " << std::strerror(errno) << "\n";
  return 2;
}

} // namespace platsim
