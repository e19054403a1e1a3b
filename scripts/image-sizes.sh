#!/usr/bin/env bash
# Prints the size of each driver image: file bytes, loaded bytes (SizeOfImage) and the
# virtual size of every section. One line per image, fields separated by blanks, so that
# bench scripts can read it.
# Usage: scripts/image-sizes.sh [BUILD_DIR]   (default: build/default; builds nothing)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/default}
readobj=$(command -v llvm-readobj || command -v llvm-readobj-14 || true)
[ -n "$readobj" ] || { echo "image-sizes: llvm-readobj not found (Debian package llvm)" >&2; exit 1; }

images=("$dir/images/tpm_platform/TpmPlatformDxe.efi" "$dir/images/button_smm/ButtonSmm.efi"
  "$dir/images/smm_compat/SmmCompatSmm.efi" "$dir/images/smm_compat/SmmCompatDxe.efi")
printf '%-20s %10s %10s  %s\n' image file_bytes image_bytes sections
status=0
for image in "${images[@]}"; do
  if [ ! -f "$image" ]; then
    echo "image-sizes: $image missing (scripts/build.sh default builds it)" >&2
    status=1
    continue
  fi
  out=$("$readobj" --file-headers --sections "$image")
  loaded=$(sed -n 's/^ *SizeOfImage: //p' <<<"$out")
  sections=""
  while read -r key value _; do
    case $key in
    Name:) name=$value ;;
    VirtualSize:) sections+="$name=$((value)) " ;;
    esac
  done <<<"$out"
  printf '%-20s %10d %10d  %s\n' "$(basename "$image")" "$(stat -c %s "$image")" "$loaded" "${sections% }"
done
exit $status
