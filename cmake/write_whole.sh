#!/usr/bin/env bash
# Runs COMMAND with its stdout written whole to OUT: into OUT.part, renamed
# to OUT once COMMAND succeeded, removed when it fails or the build is
# interrupted, so that OUT is never left half written. A signal ends
# COMMAND at once, and all it started: it runs in the background, in a
# process group of its own (set -m), so that the trap need not wait for it
# and can end the whole group.
#
#   write_whole.sh OUT COMMAND [ARG]...
set -um
if [ $# -lt 2 ]; then
  echo "write_whole.sh: usage: write_whole.sh OUT COMMAND [ARG]..." >&2
  exit 2
fi
out=$1
shift
command=
trap 'rm -f "$out.part"' EXIT
for signal in INT HUP TERM; do
  trap '[ -z "$command" ] || kill -TERM -- "-$command" 2>/dev/null; exit 130' "$signal"
done
"$@" > "$out.part" &
command=$!
set +m # no word of the job's end
wait "$command" && command= && mv -f "$out.part" "$out"
