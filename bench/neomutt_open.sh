#!/bin/sh
# Times another Maildir reader, neomutt, opening the benchmark folder with a header cache: once
# with an empty cache (cold) and once with the cache it just wrote (warm), sorted newest first,
# then quitting. Wall time and peak memory come from /usr/bin/time -v; neomutt wants a terminal,
# which script(1) provides. Measurement only: neomutt is not a dependency of anything.
#   bench/neomutt_open.sh [maildir]   (default: the folder bench_maildir_index generated)
set -eu

maildir=${1:-${VANTREL_BENCH_MAILDIR:-${TMPDIR:-/tmp}/vantrel-bench-maildir}/Maildir}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -d "$maildir/cur" ] || { echo "no Maildir at $maildir (run bench_maildir_index first)" >&2; exit 1; }
command -v neomutt >/dev/null || { echo "neomutt is not installed" >&2; exit 1; }

cat > "$work/muttrc" <<RC
set mbox_type=Maildir
set folder="$work"
set spool_file="$maildir"
set header_cache="$work/hcache"
set sort=reverse-date-received
set quit=yes
set move=no
set mark_old=no
set check_new=no
push <quit>
RC
mkdir -p "$work/hcache"

run() {
    TERM=xterm-256color COLUMNS=200 LINES=60 /usr/bin/time -v -o "$work/time.txt" \
        timeout 300 script -qec "neomutt -n -F '$work/muttrc' -f '$maildir'" /dev/null \
        > /dev/null 2>&1 < /dev/null || true
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    echo "$1: wall $wall, peak RSS $((rss / 1024)) MB"
}

run "neomutt cold (empty header cache)"
run "neomutt warm (header cache filled)"
run "neomutt warm again"
du -sh "$work/hcache" | sed 's/^/header cache size: /'
