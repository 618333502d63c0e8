#!/usr/bin/env bash
# Builds and runs example.c the three ways another project uses the
# containers: find_package against an installed prefix, cc with pkg-config,
# and add_subdirectory of the source folder; then once under memcheck.
# Also checks that the installed libraries carry no profiling hooks and need
# nothing of the C++ runtime.
#
#   example/check.sh [BUILD [SCRATCH]]   (defaults: build, build/example-check)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=${2:-$build/example-check}
rm -rf "$scratch"
prefix=$scratch/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for lib in "$prefix"/lib/libadt_tree.a "$prefix"/lib/libadt_llist.a; do
  if nm -u "$lib" | grep -E 'mcount|__gxx|__cxa|_Z'; then
    echo "$lib needs the symbols above" >&2
    exit 1
  fi
done

want="found 8: yes, at position 2"

echo "-- find_package"
cmake -S example -B "$scratch/find_package" -DCMAKE_PREFIX_PATH="$PWD/$prefix" >/dev/null
cmake --build "$scratch/find_package" >/dev/null
"$scratch/find_package/example" | grep -qx "$want"

echo "-- cc and pkg-config"
export PKG_CONFIG_PATH=$PWD/$prefix/lib/pkgconfig
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -pedantic -Werror example/example.c \
  $(pkg-config --cflags --libs adt_tree adt_llist) -o "$scratch/example_pkg_config"
"$scratch/example_pkg_config" | grep -qx "$want"

echo "-- add_subdirectory"
cmake -S example -B "$scratch/add_subdirectory" -DMAIN_LLIST_SOURCE="$PWD" > "$scratch/configure.log"
if grep -qiE 'gtest|benchmark' "$scratch/configure.log" ||
   [ -e "$scratch/add_subdirectory/main_llist/tests" ]; then
  echo "add_subdirectory configured tests or benchmarks" >&2
  exit 1
fi
cmake --build "$scratch/add_subdirectory" >/dev/null
"$scratch/add_subdirectory/example" | grep -qx "$want"

echo "-- memcheck"
valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=all \
  "$scratch/example_pkg_config" >/dev/null
echo "example: all three ways passed"
