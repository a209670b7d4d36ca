#!/usr/bin/env bash
# Makes a tree of directories that carry POSIX ACLs, for the permission-scan benchmark.
# Usage: bench/make_acl_tree.sh ROOT [COUNT [DEFAULTS]]
#   COUNT directories below ROOT (default 100000); DEFAULTS says which carry a default ACL as well:
#   half (the default: the first five top-level subtrees), all, or none.
# Ten subdirectories per directory, level by level, until COUNT are made. Every directory gets
# a named user and a named group under a restrictive mask; one top-level subtree belongs to
# daemon:daemon (owner and group share a name), one grants nothing to others.
set -euo pipefail
root=${1:?usage: make_acl_tree.sh ROOT [COUNT [DEFAULTS]]}
count=${2:-100000}
defaults=${3:-half}
mkdir -p "$root"
root=$(cd "$root" && pwd)

# Breadth first: the paths of one level are the parents of the next.
awk -v count="$count" -v root="$root" 'BEGIN {
    n = 0; level[0] = root; size = 1
    while (n < count) {
        next_size = 0
        for (i = 0; i < size && n < count; i++)
            for (j = 0; j < 10 && n < count; j++) {
                path = level[i] "/d" j; print path; n++
                next_level[next_size++] = path
            }
        delete level
        for (i = 0; i < next_size; i++) level[i] = next_level[i]
        delete next_level
        size = next_size
    }
}' | xargs -d '\n' mkdir -p

setfacl -R -m u:daemon:r-x,g:adm:rwx,m::r-x "$root"
case $defaults in
    half) inherited=("$root"/d[0-4]) ;;
    all) inherited=("$root"/d*) ;;
    none) inherited=() ;;
    *) echo "DEFAULTS is half, all or none" >&2; exit 2 ;;
esac
for top in "${inherited[@]}"; do
    setfacl -R -d -m u::rwx,u:bin:rwx,g::r-x,g:staff:r-x,o::--- "$top"
done
chown -R daemon:daemon "$root/d5"
chmod -R o-rwx "$root/d6"
echo "$(find "$root" -mindepth 1 -type d | wc -l) directories below $root, default ACLs: $defaults"
