#!/usr/bin/env bash
# A movie made in four segments by GNU parallel and joined by ffmpeg's concat
# demuxer without re-encoding has, frame for frame, the frames of one run.
# Usage: segments.sh NIVO; exits 77 (skipped) without ffmpeg or parallel.
set -euo pipefail
nivo=$(realpath "$1")
for tool in ffmpeg parallel; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
movie=(--size 64x48 --iterations 300 --center -0.745,0.113 --zoom 1:5000 --frames 14 --codec ffv1)

"$nivo" --movie whole.mkv "${movie[@]}"
# Segments of unequal lengths, finished in any order.
parallel --will-cite --halt now,fail=1 "$nivo" --movie part{#}.mkv "${movie[@]}" --range {} ::: 0-3 4-4 5-9 10-13
printf "file 'part%d.mkv'\n" 1 2 3 4 > parts.txt
ffmpeg -v error -f concat -safe 0 -i parts.txt -c copy joined.mkv

# The frames' checksums, without their times.
checksums() { ffmpeg -v error -i "$1" -f framemd5 - | grep -v '^#' | awk -F', *' '{print $NF}'; }
checksums whole.mkv > whole.md5
checksums joined.mkv > joined.md5
frames=$(wc -l < whole.md5)
[ "$frames" -eq 14 ] || { echo "the single run has $frames frames, not 14" >&2; exit 1; }
[ "$(sort -u whole.md5 | wc -l)" -gt 1 ] || { echo "every frame of the single run is the same" >&2; exit 1; }
if ! diff whole.md5 joined.md5 >&2; then
  echo "the joined segments differ from the single run" >&2
  exit 1
fi
echo "14 frames, joined segments identical to the single run"
