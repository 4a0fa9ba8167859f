#!/usr/bin/env bash
# Builds the seed corpus of the fuzzing driver into folder $1: every data
# file of the examples and of the tests, each followed by a NUL byte and one
# set of answers per dialogue path; the files named on the command line, and
# once with the two names asked; then once per set of options.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
out="$1"
mkdir -p "$out"
answers=(
  ""
  "1\n\n\n5\n1\n"
  "1\n\n0 1000\n-5\n\n"
  "1\nsoil\n3\n1\n\n\n"
  "1\nffreq\n4\n1\n2\n\n0\n"
  "2\n5\n1\n"
  "2\n-5\n\n"
  "2\n\n"
  "3\n500\n\n"
  "3\n-1\n\n"
)
options=(
  "--spatial -r 5 -d --table=t.csv"
  "--spatial --pairs-by=soil --state=1 --state=2 --interval=0,1000 -br -5"
  "--association -qbr 5 --replace --table t.csv"
  "--local-means=-500"
  "--append --seed=7 -r"
)
n=0
for data in "$source_dir"/examples/*.txt $(find "$source_dir/tests/data" -name '*.txt' -not -path '*/expected/*' 2>/dev/null); do
  for a in "${answers[@]}"; do
    n=$((n + 1))
    { printf 'b'; cat "$data"; printf '\0'; printf "$a"; } > "$out/seed-$n"
  done
  n=$((n + 1))
  { printf 'a'; cat "$data"; printf '\0'; printf '\n\n\n1\n\n\n5\n\n'; } > "$out/seed-$n"
  for o in "${options[@]}"; do
    n=$((n + 1))
    { printf 'o'; cat "$data"; printf '\0'; printf '%s\n' "$o"; } > "$out/seed-$n"
  done
done
echo "$n seeds in $out"
