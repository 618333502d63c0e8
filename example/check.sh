#!/usr/bin/env bash
# Builds and runs example.c the three ways another project uses the
# containers: find_package against an installed prefix, cc with pkg-config,
# and add_subdirectory of the source folder (from elsewhere, and from a
# project beside the checkout); then once under memcheck.
# Also checks that the installed libraries carry no profiling hooks and need
# nothing of the C++ runtime, that an install into other folders
# (include/adt, an absolute lib64) serves both kinds of consumer as well, and
# that a project which vendors this one installs nothing of it.
#
#   example/check.sh [BUILD [SCRATCH]]   (defaults: build, BUILD/example-check)
#
# Relative folders are taken from the current folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
scratch=$(realpath -m "${2:-$build/example-check}")
cd "$root"
rm -rf "$scratch"
mkdir -p "$scratch"

want="found 8: yes, at position 2"

# Builds the example against the install at prefix, with libraries in
# libdir, through find_package and through pkg-config.
consume() {
  local name=$1 prefix=$2 libdir=$3
  echo "-- find_package ($name)"
  cmake -S example -B "$scratch/$name-find_package" -DCMAKE_PREFIX_PATH="$prefix" \
    -Dmain_llist_DIR="$libdir/cmake/main_llist" >/dev/null
  cmake --build "$scratch/$name-find_package" >/dev/null
  "$scratch/$name-find_package/example" | grep -qx "$want"

  echo "-- cc and pkg-config ($name)"
  # shellcheck disable=SC2046
  cc -std=c99 -Wall -Wextra -pedantic -Werror example/example.c \
    $(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs adt_tree adt_llist) \
    -o "$scratch/$name-example"
  "$scratch/$name-example" | grep -qx "$want"
}

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for lib in "$prefix"/lib/libadt_tree.a "$prefix"/lib/libadt_llist.a; do
  if nm -u "$lib" | grep -E 'mcount|__gxx|__cxa|_Z'; then
    echo "$lib needs the symbols above" >&2
    exit 1
  fi
done
consume default "$prefix" "$prefix/lib"

echo "-- the tools, installed, then moved away from the source and build folders' paths"
cp -a "$prefix" "$scratch/moved-prefix"
tools=$scratch/moved-prefix/bin
"$tools/make_sample" 100 1 | "$tools/tree_shape" - 100 | grep -q '^nodes: 100$'
"$tools/make_sample" 100 1 | "$tools/tree_shape" --svg - 100 | xmllint --noout -
"$tools/gprof_dot" tests/fixtures/gprof_cycle.txt | grep -q '^digraph callgraph'
"$tools/flame_graph" tests/fixtures/perf_threads_dwarf.txt | xmllint --noout -
[ "$("$tools/line_costs" --event Ir --tsv tests/fixtures/callgrind_exit.out | sed -n 1p)" = "$(printf 'file\tline\tfunction\tIr\tIr_calls')" ]

layout=$scratch/layout-prefix
cmake -S . -B "$scratch/layout-build" -DMAIN_LLIST_PROGRAM=OFF -DMAIN_LLIST_TESTS=OFF \
  -DMAIN_LLIST_BENCH=OFF -DMAIN_LLIST_INSTALL=ON -DCMAKE_INSTALL_PREFIX="$layout" \
  -DCMAKE_INSTALL_INCLUDEDIR=include/adt -DCMAKE_INSTALL_LIBDIR="$layout/lib64" >/dev/null
cmake --build "$scratch/layout-build" >/dev/null
cmake --install "$scratch/layout-build" >/dev/null
[ -f "$layout/include/adt/ADT_tree.h" ] && [ -f "$layout/lib64/libadt_tree.a" ]
consume layout "$layout" "$layout/lib64"

echo "-- add_subdirectory"
cmake -S example -B "$scratch/add_subdirectory" -DMAIN_LLIST_SOURCE="$root" > "$scratch/configure.log"
if grep -qiE 'gtest|benchmark' "$scratch/configure.log" ||
   [ -e "$scratch/add_subdirectory/main_llist/tests" ]; then
  echo "add_subdirectory configured tests or benchmarks" >&2
  exit 1
fi
cmake --build "$scratch/add_subdirectory" >/dev/null
"$scratch/add_subdirectory/example" | grep -qx "$want"
# A user sees the two headers and none of the program's own.
includes=$(grep -o -- '-I[^ ]*' "$scratch/add_subdirectory/CMakeFiles/example.dir/flags.make" | sort -u)
for dir in ${includes//-I/}; do
  if [ -e "$dir/message.h" ] || [ -e "$dir/load_run.h" ]; then
    echo "add_subdirectory's users get $dir on their include path, with the program's headers" >&2
    exit 1
  fi
done

echo "-- add_subdirectory of a checkout beside the project"
sibling=$scratch/sibling
mkdir -p "$sibling/app"
ln -s "$root" "$sibling/main_llist"
cp example/example.c "$sibling/app/"
cat > "$sibling/app/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(app LANGUAGES C)
add_subdirectory(../main_llist main_llist)
add_executable(example example.c)
target_link_libraries(example PRIVATE main_llist::adt_tree main_llist::adt_llist)
EOF
cmake -S "$sibling/app" -B "$sibling/build" >/dev/null
cmake --build "$sibling/build" >/dev/null
"$sibling/build/example" | grep -qx "$want"
cmake --install "$scratch/add_subdirectory" --prefix "$scratch/vendor-prefix" >/dev/null
if [ -n "$(find "$scratch/vendor-prefix" -type f 2>/dev/null)" ]; then
  echo "a project that vendors this one installed its files:" >&2
  find "$scratch/vendor-prefix" -type f >&2
  exit 1
fi

echo "-- memcheck"
valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=all \
  "$scratch/default-example" >/dev/null
echo "example: every way passed"
