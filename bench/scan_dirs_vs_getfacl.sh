#!/usr/bin/env bash
# The directory search and permission scan of a tree of COUNT directories with POSIX ACLs into a
# results database, against `getfacl -R -p` over the same tree to /dev/null, side by side.
# Usage (from the source folder, after scripts/build.sh): bench/scan_dirs_vs_getfacl.sh [COUNT] [ROUNDS]
# Prints the median time of each and their ratio (goal: at most 1.5).
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-100000}
rounds=${2:-5}
bench=build/bench/bench_scan_dirs
make_database=build/tools/make_results_database
[[ -x $bench && -x $make_database ]] || { echo "build first: scripts/build.sh" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/tree
bench/make_acl_tree.sh "$tree" "$count" >&2

seconds() { # runs the command, prints its wall-clock seconds
    local start end
    start=$(date +%s%N)
    "$@"
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}
scan() {
    "$make_database" "$work/NetworkInfo.mdb"
    "$bench" "$tree" "$work/NetworkInfo.mdb" 2>/dev/null
}
getfacl_tree() { getfacl -R -p "$tree" > /dev/null; }
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# One untimed run of each first, so that both find the tree in the cache.
scan; getfacl_tree
"$bench" "$tree" "$work/NetworkInfo.mdb" 2>&1 >/dev/null | sed 's/^/scan: /' >&2
echo "rows: $(sqlite3 "$work/NetworkInfo.mdb" 'select count(*) from Permissions')" >&2

ours=() theirs=()
for ((i = 0; i < rounds; i++)); do
    theirs+=("$(seconds getfacl_tree)")
    ours+=("$(seconds scan)")
done
o=$(printf '%s\n' "${ours[@]}" | median)
t=$(printf '%s\n' "${theirs[@]}" | median)
printf 'directories:                  %d\n' "$count"
printf 'SearchDirs + ScanDirs:        %.3f s (median of %d)\n' "$o" "$rounds"
printf 'getfacl -R -p > /dev/null:    %.3f s (median of %d)\n' "$t" "$rounds"
awk -v o="$o" -v t="$t" 'BEGIN { printf "ratio:                        %.2f (goal: at most 1.5)\n", o / t }'
