#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang (build-fuzz, -DVEMAL_FUZZ=ON) and runs each for
# SECONDS (default 60), one after another, on a scratch copy of its seed corpus: the committed
# corpus never grows. Stops at the first crash and prints where the crashing input is.
#   tools/fuzz.sh [SECONDS [TARGET...]]     e.g. tools/fuzz.sh 600 fuzz_replyreader
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/setup.sh

seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ ]] || die "usage: tools/fuzz.sh [SECONDS [TARGET...]]"
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

ensure_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-dev
if [ ! -f build-fuzz/build.ninja ]; then
  launcher=()
  command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DVEMAL_FUZZ=ON -DBUILD_TESTING=OFF "${launcher[@]}" >&2 || die "cmake configure failed"
fi
cmake --build build-fuzz -j2 --target fuzzers >&2 || die "build failed"

# Longer inputs where a target's bound lies beyond libFuzzer's default of 4096 bytes.
options_of() {
  case $1 in
    fuzz_listingparser) echo -max_len=9000 ;;
    *) echo -max_len=4096 ;;
  esac
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vemal-fuzz.XXXXXX")
echo "Scratch folder: $scratch"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
  binary=build-fuzz/fuzz/$target
  [ -x "$binary" ] || die "no fuzz target $target"
  corpus=$scratch/$target-corpus
  mkdir -p "$corpus"
  cp -r "fuzz/corpus/$target/." "$corpus/"
  log=$scratch/$target.log
  echo "Running $target for $seconds s..."
  # shellcheck disable=SC2046
  if ! "$binary" "$corpus" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$scratch/$target-" $(options_of "$target") >"$log" 2>&1; then
    tail -n 40 "$log"
    echo
    echo "$target failed. Log: $log"
    for input in "$scratch/$target"-*; do
      [[ $input == *-corpus || $input == *.log ]] || echo "Crashing input: $input"
    done
    echo "Reproduce: $binary <input>"
    exit 1
  fi
  grep -E '^Done [0-9]+ runs' "$log" | sed "s/^/$target: /"
done
echo "No crash. Grown corpora and logs: $scratch"
