#!/usr/bin/env bash
# latency.sh [DIR]
# The file finder on a slow network share. A generated archive (maketree.py: 20,000 entries in
# 571 folders, 7 levels) is served through latencyfs, which waits in every lookup, getattr,
# opendir and readdir as a distant file server would; finder_bench, `find` and, when installed,
# `fdfind` list it at each delay in alternating rounds, after a check that all of them report
# the same paths. The kernel keeps names and attributes for CACHE seconds, as network file
# systems do; each timed run starts after that has run out, so every run starts cold.
# Prints the medians and the finder's ratios to the others, the search window end to end
# (gui_bench, offscreen, from the click to the count), and how long a new search and closing
# the window keep the event loop busy while a listing hangs (LATENCYFS_HANG).
# Installs libfuse3 when missing (tools/ensure-deps.sh with TARVO_WITH_FUSE=1) and builds
# latencyfs and finder_bench. Needs /dev/fuse and the right to mount (root, or fusermount3).
# Environment: BUILD (default "build"), N (entries, default 20000), FANOUTS (subfolders per
# level, default 3,3,2,2,2,2,2), DELAYS (milliseconds, default "1 5"), ROUNDS (default 5),
# PATTERN (default '*'), READERS (finder requests in flight, default the finder's own),
# FD_THREADS (default 32), CACHE (seconds, default 1).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
dir=${1:-/tmp/tarvo-latency-tree}
dir=${dir%/}
build=${BUILD:-build}
[[ $build = /* ]] || build="$repo/$build"
n=${N:-20000}
fanouts=${FANOUTS:-3,3,2,2,2,2,2}
delays=${DELAYS:-1 5}
rounds=${ROUNDS:-5}
pattern=${PATTERN:-*}
fd_threads=${FD_THREADS:-32}
cache=${CACHE:-1}
readers=()
[[ -n ${READERS:-} ]] && readers=(--readers "$READERS")

TARVO_WITH_FUSE=1 "$repo/tools/ensure-deps.sh"
cmake -S "$repo" -B "$build" >/dev/null
cmake --build "$build" --target latencyfs finder_bench gui_bench >/dev/null
python3 "$here/maketree.py" "$dir" "$n" --fanouts "$fanouts"

export LC_ALL=C
tools=(finder find)
command -v fdfind >/dev/null && tools+=(fdfind)
export QT_QPA_PLATFORM=offscreen

mnt=$(mktemp -d)
tmp=$(mktemp -d)
fs_pid=
unmount() {
    if [[ -n $fs_pid ]]; then
        fusermount3 -u "$mnt" 2>/dev/null || umount "$mnt" 2>/dev/null || true
        wait "$fs_pid" 2>/dev/null || true
        fs_pid=
    fi
}
trap 'unmount; rm -rf "$tmp"; rmdir "$mnt" 2>/dev/null || true' EXIT

now() { echo "$EPOCHREALTIME"; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
list() {
    case $1 in
    finder) "$build/bench/finder_bench" --print "${readers[@]}" "$pattern" "$mnt" 2>/dev/null ;;
    find) find "$mnt" -mindepth 1 -iname "$pattern" ;;
    fdfind) fdfind -HI -j "$fd_threads" --glob "$pattern" "$mnt" | sed 's#/$##' ;;
    esac
}

mount_slow() {
    "$build/bench/latencyfs" "$dir" "$1" "$mnt" -f -o "entry_timeout=$cache,attr_timeout=$cache" 2>/dev/null &
    fs_pid=$!
    for _ in $(seq 100); do
        mountpoint -q "$mnt" && break
        sleep 0.05
    done
    mountpoint -q "$mnt" || { echo "latency.sh: latencyfs did not mount" >&2; exit 1; }
}
cold() { sleep "$(awk -v c="$cache" 'BEGIN { print (c > 0 ? c + 0.2 : 0) }')"; }
field() { awk -v key="$1" '{ for (i = 1; i < NF; ++i) if ($i == key) print $(i + 1) }'; }

status=0
for delay in $delays; do
    mount_slow "$delay"

    # The same paths from every tool (this also warms the daemon's own cache of the tree).
    for t in "${tools[@]}"; do
        list "$t" | sort >"$tmp/$t"
    done
    same="same $(wc -l <"$tmp/find") paths"
    for t in "${tools[@]}"; do
        if ! cmp -s "$tmp/$t" "$tmp/find"; then
            same="DIFFERENT results ($t)"
            diff "$tmp/$t" "$tmp/find" | head -10 >&2
            status=1
        fi
    done

    for t in "${tools[@]}"; do : >"$tmp/t_$t"; done
    for ((r = 0; r < rounds; ++r)); do
        # Each round starts with another tool, so none always runs first.
        order=("${tools[@]:r % ${#tools[@]}}" "${tools[@]:0:r % ${#tools[@]}}")
        for t in "${order[@]}"; do
            cold
            a=$(now)
            list "$t" >/dev/null
            b=$(now)
            awk -v a="$a" -v b="$b" 'BEGIN { printf "%.4f\n", b - a }' >>"$tmp/t_$t"
        done
    done
    line="delay ${delay} ms, $same:"
    for t in "${tools[@]}"; do
        m=$(median <"$tmp/t_$t")
        eval "median_$t=$m"
        line+=" $t ${m}s"
    done
    line+=" | finder/find $(awk -v a="$median_finder" -v b="$median_find" 'BEGIN { printf "%.3f", a / b }')"
    if [[ -n ${median_fdfind:-} ]]; then
        line+=", finder/fdfind -j$fd_threads $(awk -v a="$median_finder" -v b="$median_fdfind" 'BEGIN { printf "%.3f", a / b }')"
    fi
    echo "$line (median of $rounds rounds)"

    : >"$tmp/t_window"
    for ((r = 0; r < rounds; ++r)); do
        cold
        "$build/bench/gui_bench" "$pattern" "$mnt" 2>&1 | grep '^gui ' | field seconds >>"$tmp/t_window"
    done
    m=$(median <"$tmp/t_window")
    echo "delay ${delay} ms: search window until the count shows ${m}s, $(awk -v a="$m" -v b="$median_finder" 'BEGIN { printf "%.2f", a / b }') x the finder (median of $rounds rounds)"
    unmount
done

# A share that stops answering: one folder's listing hangs. The window must not wait for it.
hang=$(cd "$dir" && find . -mindepth 2 -maxdepth 2 -type d | sort | head -1)
hang=${hang#.}
LATENCYFS_HANG=$hang mount_slow "${delays%% *}"
: >"$tmp/new"
: >"$tmp/close"
for ((r = 0; r < rounds; ++r)); do
    out=$("$build/bench/gui_bench" --interrupt "$pattern" "$mnt" 2>&1 | grep '^interrupt ')
    [[ $(field hanging <<<"$out") = yes ]] || { echo "latency.sh: the search did not hang: $out" >&2; status=1; }
    field new-search-ms <<<"$out" >>"$tmp/new"
    field close-ms <<<"$out" >>"$tmp/close"
done
echo "listing of $hang hangs: a new search returns to the event loop after $(median <"$tmp/new") ms, closing the window after $(median <"$tmp/close") ms (median of $rounds rounds)"
fusermount3 -uz "$mnt" 2>/dev/null || true
kill "$fs_pid" 2>/dev/null || true
fs_pid=
exit $status
