#!/usr/bin/env bash
# The users and groups scan of COUNT and of four times COUNT staged accounts, this build's program
# beside another build's (BASE) in the same rounds. Each run is a whole `quillmere -scan` of a
# program folder of its own, with the users task only, in a private mount namespace in which
# copies of the account files with the staged accounts (bench/make_accounts.sh) are bound over
# /etc/passwd, /etc/group and /etc/shadow: the machine's own files are never touched. A run without
# any task, timed in the same rounds, is the program's fixed cost (start, database claim, the
# finishing queries); the task's time is the difference.
# With SOURCES set ("files systemd lookuponly", say), an nsswitch.conf whose passwd and group lines
# name those sources is bound over the machine's as well. "lookuponly" is the tests' source that
# answers look-ups but lists nothing, as sssd and nslcd do with enumeration off (built to
# build/tests/nss); it knows an account qmremote and two groups, qmremote and qmldap, with staged
# accounts as members. "stalled" is the tests' source whose daemon does not answer: every call
# waits STALLED_WAIT_MS milliseconds (1000 when unset) and then says it is unavailable. With it on
# the line, this build's rows are also compared with those of a run whose line leaves it out.
# Usage (as root, from the source folder, after scripts/build.sh):
#   [SOURCES=...] [BASE=../other/build] bench/scan_users_vs_base.sh [COUNT] [ROUNDS]    # defaults: 1500, 5
# Prints the medians per build and count, the growth from COUNT to four times COUNT (goal: at
# most 5), and whether BASE stored the same Users, Groups and UserGroup rows as this build.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-1500}
rounds=${2:-5}
builds=(build)
[[ -n ${BASE:-} ]] && builds+=("$BASE")
for b in "${builds[@]}"; do
    [[ -x $b/bin/quillmere && -x $b/tools/make_results_database ]] || { echo "no program in $b: build first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Writes an nsswitch.conf whose passwd and group lines name the sources $2, to $1.
write_nsswitch() {
    { grep -v -e '^passwd:' -e '^group:' /etc/nsswitch.conf; echo "passwd: $2"; echo "group: $2"; } > "$1"
}
nsswitch= without_stalled=
if [[ -n ${SOURCES:-} ]]; then
    nsswitch=$work/nsswitch.conf
    write_nsswitch "$nsswitch" "$SOURCES"
    if [[ " $SOURCES " == *" stalled "* ]]; then
        without_stalled=$work/nsswitch-without-stalled.conf
        write_nsswitch "$without_stalled" "$(sed -e 's/\bstalled\b//g' <<< "$SOURCES")"
    fi
    mkdir "$work/lookuponly"
    echo 'qmremote:x:600000:600000::/:/bin/false' > "$work/lookuponly/passwd"
    printf 'qmremote:x:600000:qm1,qm2\nqmldap:x:600001:qm0,qm3\n' > "$work/lookuponly/group"
    export LD_LIBRARY_PATH=$PWD/build/tests/nss LOOKUPONLY_FILES=$work/lookuponly
    for module in lookuponly stalled; do
        [[ -f build/tests/nss/libnss_$module.so.2 ]] || { echo "no build/tests/nss/libnss_$module.so.2: build first" >&2; exit 1; }
    done
fi
sizes=("$count" $((count * 4)))
for size in "${sizes[@]}"; do
    bench/make_accounts.sh "$work/accounts$size" "$size"
done
for i in "${!builds[@]}"; do
    mkdir -p "$work/program$i" "$work/config"
    cp "${builds[$i]}/bin/quillmere" "$work/program$i/"
    "${builds[$i]}/tools/make_results_database" "$work/empty$i.mdb"
done

source bench/timing.sh
# One unattended run of build i on the accounts of size, with the options given, from an empty
# results database.
scan() {
    local folder=$work/program$1 accounts=$work/accounts$2
    cp "$work/empty$1.mdb" "$folder/NetworkInfo.mdb"
    printf '[Options]\n%s' "$3" > "$folder/Quillmere.ini"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$work/config" \
        unshare --mount --propagation private sh -c \
        'mount --bind "$1/passwd" /etc/passwd && mount --bind "$1/group" /etc/group &&
         mount --bind "$1/shadow" /etc/shadow && { [ -z "$3" ] || mount --bind "$3" /etc/nsswitch.conf; } &&
         exec "$2/quillmere" -scan' sh "$accounts" "$folder" "$nsswitch"
}
users() { scan "$1" "$2" $'ScanDirectories=0\nScanPrograms=0\n'; }
nothing() { scan "$1" "$2" $'ScanUsers=0\nScanDirectories=0\nScanPrograms=0\n'; }
rows() { for table in Users Groups UserGroup; do sqlite3 "$work/program$1/NetworkInfo.mdb" "select * from $table order by rowid"; done; }

declare -A task whole
for size in "${sizes[@]}"; do
    # One untimed run of each first, whose rows are compared.
    for i in "${!builds[@]}"; do
        users "$i" "$size"
        rows "$i" > "$work/rows$i"
    done
    echo "$size staged accounts: $(sqlite3 "$work/program0/NetworkInfo.mdb" 'select count(*) from Users') users," \
         "$(sqlite3 "$work/program0/NetworkInfo.mdb" 'select count(*) from UserGroup') memberships stored" >&2
    if [[ -n ${BASE:-} ]]; then
        if cmp -s "$work/rows0" "$work/rows1"; then verdict="the same as BASE's"; else verdict="NOT the same as BASE's"; fi
        echo "Users, Groups, UserGroup: $verdict" >&2
    fi
    if [[ -n $without_stalled ]]; then
        nsswitch=$without_stalled users 0 "$size"
        rows 0 > "$work/rows-without-stalled"
        if cmp -s "$work/rows0" "$work/rows-without-stalled"; then verdict="the same"; else verdict="NOT the same"; fi
        echo "Users, Groups, UserGroup: $verdict as without stalled on the line" >&2
    fi
    declare -A runs=() fixed=()
    for ((r = 0; r < rounds; r++)); do
        for i in "${!builds[@]}"; do
            runs[$i]+="$(seconds users "$i" "$size") "
            fixed[$i]+="$(seconds nothing "$i" "$size") "
        done
    done
    for i in "${!builds[@]}"; do
        w=$(printf '%s\n' ${runs[$i]} | median)
        f=$(printf '%s\n' ${fixed[$i]} | median)
        whole[$i,$size]=$w
        task[$i,$size]=$(awk -v w="$w" -v f="$f" 'BEGIN { printf "%.3f", w - f }')
        printf '%-28s %6d accounts: whole run %7.3f s, without tasks %6.3f s, users task %7.3f s (medians of %d)\n' \
            "${builds[$i]}" "$size" "$w" "$f" "${task[$i,$size]}" "$rounds"
    done
done
small=${sizes[0]} large=${sizes[1]}
for i in "${!builds[@]}"; do
    awk -v b="${builds[$i]}" -v t1="${task[$i,$small]}" -v t4="${task[$i,$large]}" -v w1="${whole[$i,$small]}" \
        -v w4="${whole[$i,$large]}" 'BEGIN { printf "%-28s four times the accounts: task x %.2f, whole run x %.2f (goal: at most 5)\n", b, t4 / t1, w4 / w1 }'
done
if [[ -n ${BASE:-} ]]; then
    for size in "${sizes[@]}"; do
        awk -v s="$size" -v o="${task[0,$size]}" -v b="${task[1,$size]}" -v ow="${whole[0,$size]}" -v bw="${whole[1,$size]}" \
            'BEGIN { printf "this build / BASE at %6d accounts: task %.3f, whole run %.3f\n", s, o / b, ow / bw }'
    done
fi
