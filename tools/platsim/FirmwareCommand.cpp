// platsim firmware: the same drivers as PE images on real UEFI firmware (OVMF
// under QEMU, TPM 1.2 from swtpm). platsim only hands over to the run's
// script, which lays out the FAT volume, starts swtpm and QEMU and turns the
// test application's serial lines into the result.
#include "tools/platsim/Commands.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace platsim {

int RunFirmware(Args args) {
  static constexpr OptionSpec kOptions[] = {{"--images", "DIR"}, {"--keep", "DIR"}};
  ParsedArgs parsed = ParseArgs(args, kOptions);
  if (!parsed.Positionals().empty())
    throw UsageError("unexpected argument \"" + parsed.Positionals().front() + "\"");
  // The script runs elsewhere: relative directories are the caller's.
  std::error_code ec;
  std::string images =
      std::filesystem::absolute(parsed.Value("--images").value_or(PLATSIM_IMAGES_DIR), ec).string();
  std::optional<std::string> keep = parsed.Value("--keep");
  if (keep)
    keep = std::filesystem::absolute(*keep, ec).string();
  const std::filesystem::path script =
      std::filesystem::path(PLATSIM_SOURCE_DIR) / "scripts" / "firmware-run.sh";
  if (!std::filesystem::exists(script)) {
    std::cerr << "platsim firmware: " << script.string()
              << " is missing (platsim runs from the tree it was built from)\n";
    return 2;
  }
  std::cout << "Firmware run: OVMF under QEMU, TPM 1.2 from swtpm\n"
               "Images: "
            << images
            << "\n"
               "A test application boots as \\EFI\\BOOT\\BOOTX64.EFI, loads TpmPlatformDxe.efi "
               "and ButtonSmm.efi\nwith the firmware's LoadImage/StartImage, plays the TCG core "
               "and prints one line per check.\n"
            << std::flush;
  std::vector<std::string> argv = {"bash", script.string(), images};
  if (keep) {
    argv.push_back("--keep");
    argv.push_back(*keep);
  }
  std::vector<char *> raw;
  for (auto &s : argv)
    raw.push_back(s.data());
  raw.push_back(nullptr);
  execvp("bash", raw.data());
  std::cerr << "platsim firmware: cannot start bash: " << std::strerror(errno) << "\n";
  return 2;
}

} // namespace platsim
