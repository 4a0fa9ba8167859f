#!/usr/bin/env bash
# The fuzzing targets built in folder BUILD, and their kept corpus
# (fuzz/corpus/<target>/, one folder per target).
#
#   fuzz.sh run BUILD SECONDS   runs every target for its share of SECONDS,
#       each from a scratch copy of its kept corpus in BUILD/corpus/<target>/,
#       where what it finds new stays. A finding (crash, sanitizer report,
#       time-out, difference from a plain evaluation) stops the run with the
#       target's report and a failing status; its input is left in
#       BUILD/findings/.
#   fuzz.sh corpus BUILD        minimises the kept corpus anew from itself,
#       the starting inputs of make_seeds.sh and what fuzzing found since;
#       the inputs named finding-* (each once a finding, since fixed) stay.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
mode="$1"
build="$2"
targets=(loader dialogue engines program)
declare -A max_len=([loader]=4096 [dialogue]=1024 [engines]=1024 [program]=4096)
# The corpora of the whole program and of the engines keep one input per new
# branch only, not per new count of passes through a branch: kept that way
# they are a tenth of the size. What the program's leaves out the other
# targets' corpora mostly hold; the engines' inputs are small data sets,
# whose counts a run finds again within seconds.
declare -A merge_options=([program]=-use_counters=0 [engines]=-use_counters=0)
options() { echo "-max_len=${max_len[$1]} -timeout=10 -rss_limit_mb=2048"; }

if [ "$mode" = corpus ]; then
  "$source_dir/fuzz/make_seeds.sh" "$build/seeds"
  for target in "${targets[@]}"; do
    kept="$source_dir/fuzz/corpus/$target"
    merged="$build/merged/$target"
    rm -rf "$merged"
    mkdir -p "$merged" "$kept" "$build/corpus/$target" "$build/seeds/$target"
    # shellcheck disable=SC2046
    "$build/${target}_fuzz" -merge=1 ${merge_options[$target]:-} $(options "$target") "$merged" "$kept" \
      "$build/corpus/$target" "$build/seeds/$target" > "$build/$target-merge.log" 2>&1
    # Inputs that once found a fault stay, whatever the minimising says.
    cp "$kept"/finding-* "$merged/" 2>/dev/null || true
    rm -rf "$kept"
    mv "$merged" "$kept"
    echo "$target: $(ls "$kept" | wc -l) inputs, $(cat "$kept"/* 2>/dev/null | wc -c) bytes"
  done
  exit 0
fi

seconds="$3"
share=$(( seconds / ${#targets[@]} ))
[ "$share" -ge 1 ] || share=1
mkdir -p "$build/findings"
total=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  cp -n "$source_dir/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
  log="$build/$target.log"
  echo "== $target: $share s from $(ls "$corpus" | wc -l) inputs"
  # shellcheck disable=SC2046
  if ! "$build/${target}_fuzz" "$corpus" -max_total_time="$share" $(options "$target") \
       -artifact_prefix="$build/findings/$target-" -print_final_stats=1 > "$log" 2>&1; then
    tail -n 60 "$log"
    echo "FINDING in the $target target; its input is in $build/findings/"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "   $runs inputs, $rate per second, no finding"
  total=$(( total + runs ))
done
echo "fuzzing: $total inputs across ${#targets[@]} targets, no finding"
