#!/usr/bin/env bash
# `orvexa wave info` against `soxi` on the same 100 MB WAVE file, in one run: wall time and CPU
# time (user + system, which a loaded machine disturbs less) per run.
# Usage: bench/wave_info_vs_soxi.sh path/to/orvexa [runs]
set -euo pipefail
orvexa=$1
runs=${2:-50}
whole="$(dirname "$orvexa")/orvexa-full"
file=$(mktemp --suffix=.wav)
trap 'rm -f "$file"' EXIT
# 100 MB of 8 kHz 16-bit mono silence (about 52 minutes).
sox -n -r 8000 -b 16 -c 1 "$file" trim 0 $((100 * 1024 * 1024 / 16000))
# Prints "<wall us> <cpu us>" per run of the command.
time_of() {
  local out
  out=$( { /usr/bin/time -f '%e %U %S' bash -c \
    'for _ in $(seq "$0"); do "$@" >/dev/null; done' "$runs" "$@" ; } 2>&1 >/dev/null | tail -1)
  awk -v r="$runs" '{ printf "%d %d\n", $1 * 1e6 / r, ($2 + $3) * 1e6 / r }' <<<"$out"
}
read -r ours ours_cpu < <(time_of "$orvexa" wave info "$file")
read -r theirs theirs_cpu < <(time_of soxi "$file")
read -r whole_info whole_cpu < <(time_of "$whole" wave info "$file")
read -r start_only start_cpu < <(time_of "$orvexa" --version)
echo "file: $(stat -c %s "$file") bytes, $runs runs each, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "                              wall us   cpu us  (per run)"
printf 'orvexa wave info:            %8d %8d\n' "$ours" "$ours_cpu"
printf 'soxi:                        %8d %8d\n' "$theirs" "$theirs_cpu"
printf 'orvexa-full wave info:       %8d %8d  (the whole program, for comparison)\n' "$whole_info" "$whole_cpu"
printf 'orvexa --version:            %8d %8d  (start of the whole program)\n' "$start_only" "$start_cpu"
awk -v a="$ours" -v b="$theirs" -v c="$ours_cpu" -v d="$theirs_cpu" \
  'BEGIN { printf "ratio (orvexa / soxi): wall %.2f, cpu %.2f\n", a / b, c / (d > 0 ? d : 1) }'
