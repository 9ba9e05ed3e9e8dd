#!/usr/bin/env bash
# gui_compare.sh [DIR]
# The search through the search window (gui_bench, offscreen) against the headless finder
# (finder_bench) on the same generated archive, warm cache, alternating rounds. Prints the
# medians, their ratio (goal <= 1.3), the longest event-loop stall seen (goal <= 50 ms) and
# the memory a million hits take in the hit list (goal <= 200 bytes per hit).
# Environment: BUILD (default "build"), N (entries, default 200000), ROUNDS (default 7),
# PATTERN (typed text, default 4711).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
dir=${1:-/tmp/tarvo-bench-tree}
build=${BUILD:-build}
[[ $build = /* ]] || build="$repo/$build"
rounds=${ROUNDS:-7}
pattern=${PATTERN:-4711}
for b in finder_bench gui_bench; do
    [[ -x $build/bench/$b ]] || { echo "gui_compare.sh: $build/bench/$b not found; build it first" >&2; exit 1; }
done

python3 "$here/maketree.py" "$dir" "${N:-200000}"
dir=${dir%/}
export QT_QPA_PLATFORM=offscreen

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { awk -v key="$1" '{ for (i = 1; i < NF; ++i) if ($i == key) print $(i + 1) }'; }

"$build/bench/finder_bench" "$pattern*" "$dir" 2>/dev/null   # warm the cache
finder_times=() gui_times=() stalls=()
for ((r = 0; r < rounds; ++r)); do
    f=$("$build/bench/finder_bench" "$pattern*" "$dir" 2>&1 >/dev/null | field seconds)
    g=$("$build/bench/gui_bench" "$pattern" "$dir" 2>&1 | grep '^gui ')
    finder_times+=("$f")
    gui_times+=("$(field seconds <<<"$g")")
    stalls+=("$(field longest-stall-ms <<<"$g")")
    echo "round $((r + 1)): finder ${f}s, window $(field seconds <<<"$g")s, hits $(field hits <<<"$g"), longest stall $(field longest-stall-ms <<<"$g") ms"
done
fm=$(printf '%s\n' "${finder_times[@]}" | median)
gm=$(printf '%s\n' "${gui_times[@]}" | median)
worst=$(printf '%s\n' "${stalls[@]}" | sort -g | tail -1)
echo "median: finder ${fm}s, search window ${gm}s, ratio $(awk -v a="$gm" -v b="$fm" 'BEGIN { printf "%.2f", a / b }') (goal <= 1.3)"
echo "longest event-loop stall over all rounds: ${worst} ms (goal <= 50)"
"$build/bench/gui_bench" --memory 2>&1 | grep '^memory'
