#!/usr/bin/env bash
# Builds an older commit beside the current tree, both in Release with today's benchmark
# program, runs the speed cases of tarmel-bench --speed on both (one after the other, case
# by case, so both see the same machine load) and prints the processor-time ratio per case
# and whether the two reports are the same.
#
#   bench/compare.sh COMMIT [case text] [repetitions]
#
# The builds live in ${TARMEL_COMPARE_DIR:-/tmp/tarmel-compare}; the older one is a git
# worktree of COMMIT, so nothing in the current tree changes.
set -euo pipefail

commit=${1:?usage: bench/compare.sh COMMIT [case text] [repetitions]}
only=${2:-}
repeats=${3:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${TARMEL_COMPARE_DIR:-/tmp/tarmel-compare}
old="$dir/old-src"
mkdir -p "$dir"

if [ -d "$old" ]; then
  git -C "$old" checkout -q --detach "$commit"
else
  git -C "$root" worktree add -q --detach "$old" "$commit"
fi
# The older tree is timed by today's benchmark program, which uses only the engine's
# public entry points.
cp "$root"/bench/*.cpp "$root"/bench/*.h "$root"/bench/CMakeLists.txt "$old/bench/"

build() {  # source folder, build folder
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARMEL_BUILD_APP=OFF >/dev/null
  cmake --build "$2" --target tarmel-bench -j2 >/dev/null
}
build "$old" "$dir/old-build"
build "$root" "$dir/new-build"

cases=$("$dir/new-build/bench/tarmel-bench" --speed "$only" --list)
printf '%-28s %9s %9s %9s %9s %7s  %s\n' case old-cpu new-cpu old-wall new-wall ratio report
while IFS= read -r name; do
  [ -n "$name" ] || continue
  best_old=; best_new=; wall_old=; wall_new=; same=same
  for ((r = 0; r < repeats; r++)); do
    o=$("$dir/old-build/bench/tarmel-bench" --speed "$name" --exact | tail -n 1)
    n=$("$dir/new-build/bench/tarmel-bench" --speed "$name" --exact | tail -n 1)
    read -r oc ow oh <<<"$(awk '{print $(NF-2), $(NF-1), $NF}' <<<"$o")"
    read -r nc nw nh <<<"$(awk '{print $(NF-2), $(NF-1), $NF}' <<<"$n")"
    [ "$oh" = "$nh" ] || same=DIFFERENT
    # The smallest of the repetitions: load from other processes only ever adds time.
    if [ -z "$best_old" ] || awk "BEGIN{exit !($oc < $best_old)}"; then best_old=$oc; wall_old=$ow; fi
    if [ -z "$best_new" ] || awk "BEGIN{exit !($nc < $best_new)}"; then best_new=$nc; wall_new=$nw; fi
  done
  ratio=$(awk "BEGIN{printf \"%.2f\", $best_old / ($best_new > 0 ? $best_new : 0.001)}")
  printf '%-28s %9s %9s %9s %9s %7s  %s\n' "$name" "$best_old" "$best_new" "$wall_old" \
    "$wall_new" "${ratio}x" "$same"
done <<<"$cases"
