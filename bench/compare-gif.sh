#!/usr/bin/env bash
# Side-by-side GIF encoding: our exporter against ImageMagick on the same 300 frames (500 x 400,
# 20 figures each, super-sample 2), both with a 256-colour optimal palette and Floyd-Steinberg
# dithering. Prints frames per second and the mean PSNR (against the unquantised frames, which
# we export as PNG) of every 10th frame.
# Usage: bench/compare-gif.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
IM=/usr/bin/convert-im6.q16
COMPARE=/usr/bin/compare-im6.q16
if [[ ! -x $IM ]]; then
  echo "compare-gif: installing imagemagick" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq imagemagick >/dev/null
fi
cmake --build "$build" --target bench_export kelto-cli -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/bench_export" --write-kel "$work/bench.kel"
"$build/src/kelto-cli" export "$work/bench.kel" -o "$work/frame.png" --no-repeats >/dev/null

seconds() { local s=$(date +%s.%N); "$@" >/dev/null; echo "$(date +%s.%N) - $s" | bc -l; }

ours=$(seconds "$build/src/kelto-cli" export "$work/bench.kel" -o "$work/ours.gif" --colours 0 --dither 1)
theirs=$(seconds $IM -delay 8 "$work"/frame*.png -dither FloydSteinberg -colors 256 "$work/im.gif")

psnr() { # gif file -> mean PSNR over frames 0, 10, ..., 290
  local total=0 n=0 i value
  for ((i = 0; i < 300; i += 10)); do
    value=$($COMPARE -metric PSNR "$work/frame$(printf %03d $i).png" "$1[$i]" null: 2>&1 || true)
    total=$(echo "$total + $value" | bc -l); n=$((n + 1))
  done
  echo "$total / $n" | bc -l
}
p_ours=$(psnr "$work/ours.gif")
p_theirs=$(psnr "$work/im.gif")

printf 'ours:        %6.2f s  %6.1f frames/s  PSNR %5.2f dB  %8d bytes\n' "$ours" \
  "$(echo "300 / $ours" | bc -l)" "$p_ours" "$(stat -c %s "$work/ours.gif")"
printf 'ImageMagick: %6.2f s  %6.1f frames/s  PSNR %5.2f dB  %8d bytes\n' "$theirs" \
  "$(echo "300 / $theirs" | bc -l)" "$p_theirs" "$(stat -c %s "$work/im.gif")"
printf 'speed-up %.2fx, PSNR difference %+.2f dB\n' "$(echo "$theirs / $ours" | bc -l)" \
  "$(echo "$p_ours - $p_theirs" | bc -l)"
