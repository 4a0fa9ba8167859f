#!/usr/bin/env bash
# Writes starting inputs for the fuzzing targets into folder $1, one folder
# per target: the data files of the examples and of the tests for the
# loader; one set of answers per path through the dialogue, for each way of
# starting, for the dialogue target; and for the whole program every data
# file followed by a NUL byte and each set of answers, with the files named
# on the command line, once with the two names asked, then once per set of
# options. The engines target needs none. `make fuzz-corpus` minimises them
# into the kept corpus.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
out="$1"
mkdir -p "$out/loader" "$out/dialogue" "$out/program"
data_files=("$source_dir"/examples/*.txt $(find "$source_dir/tests/data" -name '*.txt' -not -path '*/expected/*'))

n=0
for data in "${data_files[@]}"; do
  n=$((n + 1))
  cp "$data" "$out/loader/seed-$n"
done

# Answers after the file names: the menu choice and the analysis' questions.
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
  "--local-moran=500 -r 5 --table=t.csv --local-file=v.txt"
  "--append --seed=7 -r"
)
# The dialogue target's data sets name these variables and states.
dialogue_answers=(
  "${answers[@]}"
  "1\nhabitat\n3\nwet\n\n\n"
  "1\nhabitat\n4\nwet\ndry\n0 30\n-9\n1\n"
  "1\ntexture\n1\n\n9\n"
  "1\nhabitat\n3\nmud\nwet\n\n\n"
)
# The start byte (see fuzz/dialogue_fuzz.cpp), then Return for each name
# asked and for adding to earlier results.
n=0
for start in 0 1 2 3 4 5 8 9 12 13; do
  names=""
  case $((start & 6)) in 2) names="\n";; 4) names="\n\n";; esac
  [ $((start & 8)) -eq 0 ] || names="$names\n"
  for a in "${dialogue_answers[@]}"; do
    n=$((n + 1))
    { printf "\\x$(printf %02x $start)"; printf "$names$a"; } > "$out/dialogue/seed-$n"
  done
done

n=0
for data in "${data_files[@]}"; do
  for a in "${answers[@]}"; do
    n=$((n + 1))
    { printf 'b'; cat "$data"; printf '\0'; printf "$a"; } > "$out/program/seed-$n"
  done
  n=$((n + 1))
  { printf 'a'; cat "$data"; printf '\0'; printf '\n\n\n1\n\n\n5\n\n'; } > "$out/program/seed-$n"
  for o in "${options[@]}"; do
    n=$((n + 1))
    { printf 'o'; cat "$data"; printf '\0'; printf '%s\n' "$o"; } > "$out/program/seed-$n"
  done
done
echo "seeds in $out: $(ls "$out/loader" | wc -l) loader, $(ls "$out/dialogue" | wc -l) dialogue, $n program"
