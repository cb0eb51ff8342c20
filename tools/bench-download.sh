#!/usr/bin/env bash
# Download benchmark: serves a file (256 MiB unless BENCH_MIB says otherwise) from the fixture
# server over loopback and prints, from one run, GetUrlFile's throughput under Wine, curl's for
# the same file from the same server, their ratio, the installer code's working set during the
# download, CheckDownloadFile's throughput against sha1sum's, and where the download's time goes.
# Figures only: nothing here passes or fails on speed.
set -euo pipefail
. "$(dirname "$0")/fixed-layout.sh"
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
mib=${BENCH_MIB:-256}

bash tools/setup-debian.sh
bash tools/build.sh "$@"

. tools/wine-session.sh
wine_session_start

work=$(mktemp -d /tmp/telvista-bench.XXXXXX)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
  wine_session_stop
}
trap cleanup EXIT

head -c "$((mib * 1024 * 1024))" /dev/urandom >"$work/big.bin"
# The download flushes every chunk; dirty pages of the file just made would be written back
# during those flushes and charged to the download.
sync
size=$(stat -c %s "$work/big.bin")

python3 tests/fixtures/http_server.py serve --no-tls --file-root "$work" \
  --info-file "$work/fixture" --max-seconds 1800 >/dev/null &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/fixture" ] && break; sleep 0.1; done
port=$(sed -n 's/.*http=\([0-9]*\).*/\1/p' "$work/fixture")
curl -s -f -X POST --data '{"/big.bin": [{"file": "big.bin"}]}' \
  "http://127.0.0.1:$port/_fixture/script" >/dev/null
url="http://127.0.0.1:$port/big.bin"

# sha1sum, timed on a file that is in the page cache (as it is for the installer's check).
cat "$work/big.bin" >/dev/null
start=$(date +%s%N)
sha1=$(sha1sum "$work/big.bin" | cut -d' ' -f1)
sha1sum_s=$(awk -v ns="$(( $(date +%s%N) - start ))" 'BEGIN { printf "%.3f", ns / 1e9 }')

curl_s=$(curl -s -f -o "$work/curl.bin" -w '%{time_total}' "$url")
rm -f "$work/curl.bin"

"$WINE64" build/x64/tests/download_bench.exe "$url" "Z:${work//\//\\}\\download.bin" "$sha1" "$size" \
  | tr -d '\r' >"$work/figures"
get() { sed -n "s/^$1 //p" "$work/figures"; }

printf '\nDownload benchmark: %d MiB over loopback (%s)\n\n' "$mib" "$(date -u +%F)"
awk -v mib="$mib" -v curl="$curl_s" -v sha="$sha1sum_s" \
    -v ours="$(get download_seconds)" -v check="$(get check_seconds)" \
    -v reads="$(get reads_only_seconds)" -v flush="$(get write_and_flush_seconds)" \
    -v logs="$(get log_lines_seconds)" -v chunks="$(get chunks)" \
    -v ws="$(get working_set_during_download_max_mib)" -v before="$(get peak_working_set_before_mib)" \
    -v after="$(get peak_working_set_after_mib)" \
    -v result="$(get download_result)" -v ok="$(get check_ok)" 'BEGIN {
  printf "%-44s %8.1f MiB/s  (%.2f s, result %d)\n", "GetUrlFile under Wine", mib / ours, ours, result
  printf "%-44s %8.1f MiB/s  (%.2f s)\n", "curl, same file, same server", mib / curl, curl
  printf "%-44s %8.2f\n", "ratio GetUrlFile / curl", curl / ours
  printf "%-44s %8.1f MiB  (sampled every 10 ms)\n", "working set during the download, largest", ws
  printf "%-44s %8.1f MiB  (before the download %.1f MiB)\n", "peak working set of the process after it", after, before
  printf "%-44s %8.1f MiB/s  (%.2f s, match %d)\n", "CheckDownloadFile under Wine", mib / check, check, ok
  printf "%-44s %8.1f MiB/s  (%.2f s)\n", "sha1sum", mib / sha, sha
  printf "%-44s %8.2f\n", "ratio CheckDownloadFile / sha1sum", sha / check
  printf "\nWhere the download time goes (%d chunks of 10 KiB, each piece timed alone):\n", chunks
  printf "  %-42s %8.2f s\n", "WinINet reads only", reads
  printf "  %-42s %8.2f s\n", "write + FlushFileBuffers per chunk", flush
  printf "  %-42s %8.2f s\n", "one install-log line per chunk", logs
  printf "  %-42s %8.2f s\n", "sum of the pieces", reads + flush + logs
  printf "  %-42s %8.2f s\n", "GetUrlFile", ours
}'
