#!/usr/bin/env bash
# The directory search and permission scan of a tree of COUNT directories with POSIX ACLs into a
# results database, against `getfacl -R -p` over the same tree to /dev/null, side by side.
# Usage (from the source folder, after scripts/build.sh): bench/scan_dirs_vs_getfacl.sh [COUNT] [ROUNDS]
#   TREES  the trees to measure, one after the other (default "access default"): access (every
#          directory has an access ACL), default (every directory has a default ACL as well) or
#          mixed (half of them have one)
#   BASE   another build folder: its bench_scan_dirs is timed in the same rounds, and its
#          Permissions table must be the same as this build's
# Prints the median time of each and the ratios (goal: this build at most 1.15 times getfacl).
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-100000}
rounds=${2:-5}
trees=${TREES:-access default}
bench=build/bench/bench_scan_dirs
make_database=build/tools/make_results_database
[[ -x $bench && -x $make_database ]] || { echo "build first: scripts/build.sh" >&2; exit 1; }
base=${BASE:+$BASE/bench/bench_scan_dirs}
[[ -z $base || -x $base ]] || { echo "no $base" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make_database" "$work/empty.mdb"

source bench/timing.sh
# The scan of one build (its bench_scan_dirs) into the database file, which starts empty each time.
fresh() { cp "$work/empty.mdb" "$2"; }
scan() { "$1" "$tree" "$2" 2>/dev/null; }
getfacl_tree() { getfacl -R -p "$tree" > /dev/null; }
rows() { sqlite3 "$1" 'select * from Permissions order by rowid'; }

for kind in $trees; do
    case $kind in access) defaults=none ;; default) defaults=all ;; mixed) defaults=half ;;
        *) echo "TREES holds access, default or mixed" >&2; exit 2 ;; esac
    tree=$work/$kind
    bench/make_acl_tree.sh "$tree" "$count" "$defaults" >&2

    # One untimed run of each first, so that all find the tree in the cache.
    getfacl_tree
    fresh "$bench" "$work/ours.mdb"
    "$bench" "$tree" "$work/ours.mdb" 2>&1 >/dev/null | sed 's/^/scan: /' >&2
    echo "rows: $(sqlite3 "$work/ours.mdb" 'select count(*) from Permissions')" >&2
    if [[ -n $base ]]; then
        fresh "$base" "$work/base.mdb"
        scan "$base" "$work/base.mdb"
        if cmp -s <(rows "$work/ours.mdb") <(rows "$work/base.mdb"); then
            echo "Permissions: the same as BASE's" >&2
        else
            echo "Permissions: NOT the same as BASE's" >&2
        fi
    fi

    ours=() theirs=() based=()
    for ((i = 0; i < rounds; i++)); do
        theirs+=("$(seconds getfacl_tree)")
        fresh "$bench" "$work/ours.mdb"
        ours+=("$(seconds scan "$bench" "$work/ours.mdb")")
        if [[ -n $base ]]; then
            fresh "$base" "$work/base.mdb"
            based+=("$(seconds scan "$base" "$work/base.mdb")")
        fi
    done
    o=$(printf '%s\n' "${ours[@]}" | median)
    t=$(printf '%s\n' "${theirs[@]}" | median)
    printf 'tree:                         %s, %d directories\n' "$kind" "$count"
    printf 'SearchDirs + ScanDirs:        %.3f s (median of %d)\n' "$o" "$rounds"
    printf 'getfacl -R -p > /dev/null:    %.3f s (median of %d)\n' "$t" "$rounds"
    awk -v o="$o" -v t="$t" 'BEGIN { printf "ratio:                        %.2f (goal: at most 1.15)\n", o / t }'
    if [[ -n $base ]]; then
        b=$(printf '%s\n' "${based[@]}" | median)
        printf 'BASE SearchDirs + ScanDirs:   %.3f s (median of %d)\n' "$b" "$rounds"
        awk -v o="$o" -v t="$t" -v b="$b" 'BEGIN { printf "BASE ratio:                   %.2f; this build / BASE: %.2f\n", b / t, o / b }'
    fi
    rm -rf "$tree"
done
