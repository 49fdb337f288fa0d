#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for the given seconds, from seed corpora made of the examples, the golden cases and the
# test tables. What a run finds new is kept in build/fuzz/corpus/<target>; a crash leaves its
# input in build/fuzz/findings and fails the script.
#
#   scripts/fuzz.sh [SECONDS] [TARGET ...]     (default: 30 seconds, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(fuzz_table_import fuzz_data_run fuzz_param_file fuzz_data_header fuzz_tree_drawing)

cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j "$(nproc)" > /dev/null

# The data fuzzers read seven bytes of parameters before the data text.
seed() {  # target, seed folder
  local target=$1 out=$2
  mkdir -p "$out"
  case $target in
    fuzz_table_import) cp tests/tables/*.csv tests/tables/*.tsv "$out/" ;;
    fuzz_param_file) cp tests/golden/*.par "$out/"; printf '1.000 1.000 0.050 0.050   1   1  10 0   1' > "$out/default.par" ;;
    *) for f in examples/*.txt tests/golden/*.txt; do
         { printf '\001\004\000\001\002\001\002'; cat "$f"; } > "$out/$(basename "$f")"
       done ;;
  esac
}

mkdir -p build/fuzz/findings
status=0
for target in "${targets[@]}"; do
  seeds=build/fuzz/seeds/$target
  corpus=build/fuzz/corpus/$target
  [ -d "$seeds" ] || seed "$target" "$seeds"
  mkdir -p "$corpus"
  echo "=== $target: ${seconds} s"
  if ! ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "build/fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=8192 -timeout=60 \
      -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix=build/fuzz/findings/"$target"- \
      "$corpus" "$seeds" > "build/fuzz/$target.log" 2>&1; then
    echo "$target found a fault; see build/fuzz/$target.log and build/fuzz/findings/"
    status=1
  fi
  grep -E '^stat::number_of_executed_units|^#[0-9]+ *DONE' "build/fuzz/$target.log" | tail -2 || true
done
exit $status
