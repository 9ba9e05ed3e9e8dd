#!/usr/bin/env bash
# compare.sh [DIR]
# Times the file finder (finder_bench) against `find DIR -mindepth 1 -iname PATTERN` on a
# generated archive (maketree.py), with a warm cache, and checks that both report the same
# paths. Prints the median of each and their ratio (finder / find; the goal is <= 1.0).
# Environment: BUILD (build folder, default "build"), N (entries, default 200000),
# ROUNDS (default 7).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
dir=${1:-/tmp/tarvo-bench-tree}
n=${N:-200000}
rounds=${ROUNDS:-7}
build=${BUILD:-build}
[[ $build = /* ]] || build="$repo/$build"
bin="$build/bench/finder_bench"
if [[ ! -x $bin ]]; then
    echo "compare.sh: $bin not found; build the target finder_bench first" >&2
    exit 1
fi

# Byte order and ASCII case folding for both sides.
export LC_ALL=C

python3 "$here/maketree.py" "$dir" "$n"
dir=${dir%/}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Warm the cache.
find "$dir" >/dev/null
"$bin" '*' "$dir" 2>/dev/null

status=0
for pattern in '4711*' '*'; do
    "$bin" --print "$pattern" "$dir" 2>"$tmp/stats" | sort >"$tmp/finder"
    find "$dir" -mindepth 1 -iname "$pattern" | sort >"$tmp/find"
    if cmp -s "$tmp/finder" "$tmp/find"; then
        same="same $(wc -l <"$tmp/find") paths"
    else
        same="DIFFERENT results"
        diff "$tmp/finder" "$tmp/find" | head -20 >&2
        status=1
    fi

    : >"$tmp/t_finder"
    : >"$tmp/t_find"
    for ((r = 0; r < rounds; ++r)); do
        # Alternate which one runs first, so neither always gets the warmer start.
        for which in $( ((r % 2)) && echo "find finder" || echo "finder find"); do
            a=$(now)
            if [[ $which = finder ]]; then
                "$bin" --print "$pattern" "$dir" >/dev/null 2>/dev/null
            else
                find "$dir" -mindepth 1 -iname "$pattern" >/dev/null
            fi
            b=$(now)
            elapsed "$a" "$b" >>"$tmp/t_$which"
            echo >>"$tmp/t_$which"
        done
    done
    mf=$(median <"$tmp/t_finder")
    mg=$(median <"$tmp/t_find")
    ratio=$(awk -v a="$mf" -v b="$mg" 'BEGIN { printf "%.2f", a / b }')
    printf "pattern %-6s %s (%s) | finder median %ss, find median %ss, ratio %s over %d rounds\n" \
        "'$pattern'" "$same" "$(tail -n 1 "$tmp/stats")" "$mf" "$mg" "$ratio" "$rounds"
done
exit $status
