#!/bin/bash -eu
# Builds every fuzz target the way a fuzzing cluster expects: the compilers and
# flags come from $CC $CXX $CFLAGS $CXXFLAGS, the engine from $LIB_FUZZING_ENGINE,
# and each target lands in $OUT with NAME_seed_corpus.zip and, where its input
# has tokens, NAME.dict. Runs from the source tree (the cluster's working
# directory, $SRC/<project>); the CMake build goes to $WORK, or under $OUT when
# $WORK is unset.
root=$PWD
if [ ! -f "$root/tests/fuzz/CMakeLists.txt" ]; then
  echo "build.sh: run it from the source tree (no tests/fuzz/CMakeLists.txt in $root)" >&2
  exit 2
fi
: "${CC:?}" "${CXX:?}" "${OUT:?}" "${LIB_FUZZING_ENGINE:?}"
CFLAGS=${CFLAGS:-}
CXXFLAGS=${CXXFLAGS:-}
build=${WORK:-$OUT/.work}/fuzz-build
mkdir -p "$OUT" "$build"

# BUILD_TYPE Cluster adds no flags of its own: the cluster's flags decide.
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" \
  -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS" \
  -DCMAKE_BUILD_TYPE=Cluster -DBUILD_IMAGES=OFF -DSANITIZE=OFF \
  -DFUZZ_ENGINE="$LIB_FUZZING_ENGINE" >/dev/null
cmake --build "$build" --target fuzz_targets -j"$(nproc)"

for source in "$root"/tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  cp "$build/tests/fuzz/$name" "$OUT/"
  rm -f "$OUT/${name}_seed_corpus.zip"
  python3 - "$root/tests/fuzz/corpus/$name" "$OUT/${name}_seed_corpus.zip" <<'PY'
import os, sys, zipfile
seeds, archive = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    if os.path.isdir(seeds):
        for name in sorted(os.listdir(seeds)):
            z.write(os.path.join(seeds, name), name)
PY
  dict=$root/tests/fuzz/dict/$name.dict
  if [ -f "$dict" ]; then cp "$dict" "$OUT/"; else rm -f "$OUT/$name.dict"; fi
done
