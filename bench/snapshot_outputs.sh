#!/bin/sh
# snapshot_outputs.sh PROGRAM OUTDIR FILE...
#
# Writes what PROGRAM prints and exports for each FILE into OUTDIR: the
# `all --format csv` listing and every file of `export --all`, with the CRC
# element's time fixed (SOURCE_DATE_EPOCH). Two snapshots, taken before and
# after a change, are compared with `diff -r`: every CRC and every exported
# byte must be the same.
set -u
program=$1
out=$2
shift 2
mkdir -p "$out"
export SOURCE_DATE_EPOCH=0
n=0
for file in "$@"; do
  n=$((n + 1))
  dir="$out/$n-$(basename "$file")"
  mkdir -p "$dir/export"
  "$program" all --jobs 1 --format csv "$file" >"$dir/all.csv" 2>"$dir/all.err"
  echo "status $?" >>"$dir/all.csv"
  # The listing names each file written: the snapshot's own folder is left out.
  "$program" export --jobs 1 --quiet "$file" --all -o "$dir/export" >"$dir/export.raw" 2>"$dir/export.err"
  status=$?
  sed "s#$dir/##" "$dir/export.raw" >"$dir/export.out"
  rm "$dir/export.raw"
  echo "status $status" >>"$dir/export.out"
done
