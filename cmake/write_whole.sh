#!/bin/sh
# Runs COMMAND with its stdout written whole to OUT: into OUT.part, renamed
# to OUT once COMMAND succeeded, removed when it fails or the build is
# interrupted, so that OUT is never left half written.
#
#   write_whole.sh OUT COMMAND [ARG]...
set -u
out=$1
shift
trap 'rm -f "$out.part"' EXIT
trap 'exit 130' INT HUP TERM
"$@" > "$out.part" && mv -f "$out.part" "$out"
