#!/usr/bin/env bash
# `orvexa wave info` against `soxi` on the same 100 MB WAVE file, in one run.
# Usage: bench/wave_info_vs_soxi.sh path/to/orvexa [runs]
set -euo pipefail
orvexa=$1
runs=${2:-20}
file=$(mktemp --suffix=.wav)
trap 'rm -f "$file"' EXIT
# 100 MB of 8 kHz 16-bit mono silence (about 52 minutes).
sox -n -r 8000 -b 16 -c 1 "$file" trim 0 $((100 * 1024 * 1024 / 16000))
time_of() {
  local start end
  start=$(date +%s%N)
  for _ in $(seq "$runs"); do "$@" >/dev/null; done
  end=$(date +%s%N)
  echo $(((end - start) / runs / 1000))
}
ours=$(time_of "$orvexa" wave info "$file")
theirs=$(time_of soxi "$file")
start_only=$(time_of "$orvexa" --version)
echo "file: $(stat -c %s "$file") bytes, $runs runs each"
echo "orvexa wave info: ${ours} us per run"
echo "soxi:             ${theirs} us per run"
echo "orvexa --version: ${start_only} us per run (the program's start alone)"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "ratio (orvexa / soxi): %.2f\n", a / b }'
