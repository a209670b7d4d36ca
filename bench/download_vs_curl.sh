#!/usr/bin/env bash
# Times clsDownload (build/bench/bench_download) against curl fetching the same file from the
# same local HTTP server (Python's http.server on loopback), in turns, and prints both medians
# and their ratio (goal: at most 1.5).
# Needs curl and python3.
# Usage: bench/download_vs_curl.sh [MEGABYTES] [ROUNDS]     defaults: 100 MB, 7 rounds
set -euo pipefail
cd "$(dirname "$0")/.."
megabytes=${1:-100}
rounds=${2:-7}
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT

mkdir "$work/www"
head -c "$((megabytes * 1024 * 1024))" /dev/urandom > "$work/www/file.bin"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/www" > "$work/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do
  port=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/server.log" | head -1)
  [ -n "$port" ] && break
  sleep 0.1
done
url="http://127.0.0.1:$port/file.bin"

timed() { # prints the seconds one command took
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# One untimed run of each warms the page cache and the server.
curl -sf -o "$work/curl.bin" "$url"
build/bench/bench_download "$url" "$work/quill.bin"
: > "$work/curl.times"
: > "$work/quill.times"
for _ in $(seq "$rounds"); do
  timed curl -sf -o "$work/curl.bin" "$url" >> "$work/curl.times"
  timed build/bench/bench_download "$url" "$work/quill.bin" >> "$work/quill.times"
done
cmp "$work/www/file.bin" "$work/quill.bin"
cmp "$work/www/file.bin" "$work/curl.bin"

curl_median=$(median < "$work/curl.times")
quill_median=$(median < "$work/quill.times")
printf '%d MB, %d rounds: curl %.3f s, clsDownload %.3f s (medians), ratio %.2f\n' \
  "$megabytes" "$rounds" "$curl_median" "$quill_median" "$(awk -v a="$quill_median" -v b="$curl_median" 'BEGIN { print a / b }')"
