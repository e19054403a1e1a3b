#!/usr/bin/env bash
# Checks built driver images for what a UEFI loader needs and what freestanding C++ must
# not bring along: PE32+ for x64, boot-service driver subsystem, base relocations (the
# loader places the image anywhere), no imports, no constructor sections.
# Usage: check-images.sh LLVM_READOBJ IMAGE[=SUBSYSTEM]...
# SUBSYSTEM is the hexadecimal subsystem expected (default 0xB, boot-service driver;
# 0xC runtime driver, the usual one of a PI SMM driver; 0xA application).
set -uo pipefail
readobj=$1
shift

failed=0
for arg in "$@"; do
  image=${arg%%=*}
  want=0xB
  [ "$image" = "$arg" ] || want=${arg#*=}
  name=$(basename "$image")
  if [ ! -f "$image" ]; then
    echo "FAIL $name: $image does not exist (build the 'images' target first)"
    failed=1
    continue
  fi
  if ! out=$("$readobj" --file-headers --sections --coff-imports "$image" 2>&1); then
    echo "FAIL $name: llvm-readobj cannot read it:"
    echo "$out"
    failed=1
    continue
  fi

  field() { sed -n "s/^ *$1: //p" <<<"$out" | head -n 1; }
  problems=()
  [ "$(field Format)" = "COFF-x86-64" ] || problems+=("format is '$(field Format)', not COFF-x86-64")
  grep -q '^ *Magic: 0x20B$' <<<"$out" || problems+=("optional header is not PE32+ (magic 0x20B)")
  [[ "$(field Machine)" == *"(0x8664)" ]] || problems+=("machine is '$(field Machine)', not x64 (0x8664)")
  [[ "$(field Subsystem)" == *"($want)" ]] ||
    problems+=("subsystem is '$(field Subsystem)', not $want")
  [ "$(field AddressOfEntryPoint)" != "0x0" ] || problems+=("no entry point")

  sections=$(sed -n 's/^ *Name: \([^ ]*\) (.*/\1/p' <<<"$out")
  grep -qx '\.reloc' <<<"$sections" ||
    problems+=("no .reloc section: the loader cannot relocate the image (sections: $(echo $sections))")
  [ "$(field BaseRelocationTableSize)" != "0x0" ] || problems+=("base relocation directory is empty")
  grep -q 'IMAGE_FILE_RELOCS_STRIPPED' <<<"$out" && problems+=("relocations stripped (linked /fixed?)")
  bad=$(grep -E '^\.(CRT|init_array|ctors|fini_array|dtors)' <<<"$sections")
  [ -z "$bad" ] || problems+=("constructor sections present: $(echo $bad) (a global is not constant-initialized)")

  if [ "$(field ImportTableSize)" != "0x0" ] || grep -q '^Import {' <<<"$out"; then
    problems+=("imports present: $(sed -n 's/^ *Name: \(.*\.dll\)$/\1/p' <<<"$out" | tr '\n' ' ')")
  fi
  [ "$(field IATSize)" = "0x0" ] || problems+=("import address table present")

  if ((${#problems[@]})); then
    echo "FAIL $name ($image):"
    printf '  - %s\n' "${problems[@]}"
    failed=1
  else
    echo "ok   $name: PE32+ x64, subsystem $want, relocations, no imports, sections: $(echo $sections)"
  fi
done
exit $failed
