#!/usr/bin/env bash
# Writes FOLDER/passwd, FOLDER/group and FOLDER/shadow: copies of this machine's account files
# with COUNT accounts more, to be bound over /etc in a private mount namespace (never installed).
# Usage: bench/make_accounts.sh FOLDER COUNT
# Each account qm<i> (uid and gid 200000 + i) has a private group of its own name without
# members, and there are as many shared groups qmteam<i> (gid 400000 + i) of five members each,
# the accounts i to i + 4 (counted round), so every account is in five of them. The shadow file
# lists every account: every seventh locked, every fifth without a maximum password age.
set -euo pipefail
folder=$1
count=$2
mkdir -p "$folder"
cp /etc/passwd "$folder/passwd"
cp /etc/group "$folder/group"
cp /etc/shadow "$folder/shadow"
awk -v count="$count" -v passwd="$folder/passwd" -v group="$folder/group" -v shadow="$folder/shadow" 'BEGIN {
    for (i = 0; i < count; i++) {
        printf "qm%d:x:%d:%d:Staged account %d:/home/qm%d:/bin/bash\n", i, 200000 + i, 200000 + i, i, i >> passwd
        printf "qm%d:x:%d:\n", i, 200000 + i >> group
        members = ""
        for (m = 0; m < 5; m++)
            members = members (m ? "," : "") "qm" (i + m) % count
        printf "qmteam%d:x:%d:%s\n", i, 400000 + i, members >> group
        printf "qm%d:%s:19500:0:%s:7:::\n", i, (i % 7 == 0 ? "!$6$salt$hash" : "$6$salt$hash"), (i % 5 == 0 ? "" : "90") >> shadow
    }
}'
