#!/usr/bin/env bash
# `orvexa schedule run-due` with nothing due, from start to exit, as the reminders' timer runs it
# every five minutes: a program folder with a group of 1,000 members and three schedules whose
# time of day has not come. Wall and CPU time (user + system) per run, for the program the timer
# names (orvexa-full) and for the `orvexa` launcher in front of it.
# Usage: bench/schedule_run_due.sh path/to/orvexa [runs]
set -euo pipefail
orvexa=$(realpath "$1")
runs=${2:-50}
whole="$(dirname "$orvexa")/orvexa-full"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
"$orvexa" --home "$home" group add G >/dev/null
{
  echo "name,family,num,tart,tarezd,tar1"
  for i in $(seq 1000); do
    printf 'n%d,f,0912%07d,%02d/%02d,%02d/%02d,%02d/%02d\n' "$i" "$i" $((i % 12 + 1)) $((i % 28 + 1)) \
      $((i % 12 + 1)) $((i % 29 + 1)) $((i % 12 + 1)) $((i % 27 + 1))
  done
} >"$home/members.csv"
"$orvexa" --home "$home" member import --group G "$home/members.csv" >/dev/null
for kind in birthday marriage instalments; do
  "$orvexa" --home "$home" schedule add --group G --kind "$kind" --ahead 1 --at 23:59 >/dev/null
done
now="$(date +%Y-%m-%d) 00:01"
# Prints "<wall us> <cpu us>" per run of the command.
time_of() {
  local out
  out=$( { /usr/bin/time -f '%e %U %S' bash -c \
    'for _ in $(seq "$0"); do "$@" >/dev/null; done' "$runs" "$@" ; } 2>&1 >/dev/null | tail -1)
  awk -v r="$runs" '{ printf "%d %d\n", $1 * 1e6 / r, ($2 + $3) * 1e6 / r }' <<<"$out"
}
"$whole" --home "$home" schedule run-due --fast --now "$now" | grep -q 'due at 23:59'
read -r direct direct_cpu < <(time_of "$whole" --home "$home" schedule run-due --fast --now "$now")
read -r launched launched_cpu < <(time_of "$orvexa" --home "$home" schedule run-due --fast --now "$now")
read -r version version_cpu < <(time_of "$whole" --version)
echo "$runs runs each, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "                                    wall us   cpu us  (per run)"
printf 'orvexa-full schedule run-due:      %8d %8d  (as the timer runs it)\n' "$direct" "$direct_cpu"
printf 'orvexa schedule run-due:           %8d %8d  (through the launcher)\n' "$launched" "$launched_cpu"
printf 'orvexa-full --version:             %8d %8d  (start of the whole program)\n' "$version" "$version_cpu"
