#!/bin/sh
# Records PROGRAM's run with perf, whole stacks (DWARF: the C library has no
# frame pointers) of its real time, kernel included, into perf.data in the
# current folder, written whole: into perf.data.part, renamed once perf
# succeeded. With --check, only says whether perf can record here.
#
#   perf_record.sh PROGRAM | --check
#
# Where perf is missing or may not record (a user other than root under
# kernel.perf_event_paranoid 2 or more, a container that refuses the
# perf_event_open system call), one line says which and how to allow it,
# and the status is 1.
set -u
me=perf_record.sh
if [ $# -ne 1 ]; then
  echo "$me: usage: perf_record.sh PROGRAM | --check" >&2
  exit 2
fi
if ! command -v perf >/dev/null 2>&1; then
  echo "$me: perf is not installed (apt-get install linux-perf)" >&2
  exit 1
fi
paranoid=$(cat /proc/sys/kernel/perf_event_paranoid 2>/dev/null || echo 2)
if [ "$(id -u)" -ne 0 ] && [ "$paranoid" -ge 2 ]; then
  # perf would record the program's own code only, not the kernel's
  echo "$me: perf may not record the kernel here: kernel.perf_event_paranoid is $paranoid for a user other" \
    "than root; run as root, or allow it with sysctl kernel.perf_event_paranoid=1" >&2
  exit 1
fi
if ! error=$(perf record -q -e cpu-clock -o /dev/null -- true 2>&1 >/dev/null); then
  echo "$me: perf may not record here (a container may refuse the perf_event_open system call):" \
    "$(echo "$error" | grep -v '^$' | head -n 1)" >&2
  exit 1
fi
[ "$1" = --check ] && exit 0
trap 'rm -f perf.data.part' EXIT
trap 'exit 130' INT HUP TERM
perf record -q --call-graph dwarf -e cpu-clock -o perf.data.part -- "$1" && mv -f perf.data.part perf.data
