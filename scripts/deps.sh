#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing.
set -euo pipefail
packages=(clang lld llvm cmake ninja-build pkg-config libgtest-dev libtpms-dev libssl-dev
  nlohmann-json3-dev acpica-tools tpm2-tools efitools openssl qemu-system-x86 ovmf swtpm
  swtpm-tools mtools libclang-rt-14-dev valgrind clang-format python3
  linux-image-amd64 busybox-static cpio)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
