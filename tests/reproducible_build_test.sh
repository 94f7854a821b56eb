#!/usr/bin/env bash
# Two clean builds of a small installer from the same sources and package
# must give byte-identical executables.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in 1 2; do
  cmake -S "$source_dir" -B "$work/build$n" --preset win32 -DKAVREL_BUILD_TESTS=OFF \
        -DKAVREL_PACKAGE_SIZE=65536 -DKAVREL_PACKAGE_SPLIT=20000 >"$work/configure$n.log" 2>&1 \
    || { cat "$work/configure$n.log"; exit 1; }
  cmake --build "$work/build$n" --target lexova-update -j2 >"$work/build$n.log" 2>&1 \
    || { cat "$work/build$n.log"; exit 1; }
done
a=$work/build1/lexova-update.exe
b=$work/build2/lexova-update.exe
if cmp "$a" "$b"; then
  echo "1 passed, 0 failed: $(stat -c %s "$a") bytes, identical"
else
  echo "0 passed, 1 failed: the two builds differ"
  exit 1
fi
