#!/usr/bin/env bash
# Runs every fuzz target of the sanitizer build for SECONDS each (default 15), one after the
# other, starting from the committed corpora under tests/fuzz/corpus. New inputs go to a
# scratch folder, so the committed corpora stay as they are unless --merge is given, which
# folds what added coverage into them. Exits non-zero on the first target that fails.
#   bash scripts/fuzz.sh [SECONDS] [--merge]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
merge="${2:-}"
bin=build-asan/fuzz
targets=(ini_reader command_line output_filter)
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
for target in "${targets[@]}"; do
  corpus="tests/fuzz/corpus/$target"
  mkdir -p "$scratch/$target" "$corpus"
  log="$scratch/$target.log"
  # -timeout: one input that takes this long is a hang; -rss_limit_mb: memory that runs away.
  if ! "$bin/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -dict="tests/fuzz/${target}_fuzz.dict" -artifact_prefix="$scratch/$target-" \
      -print_final_stats=1 "$scratch/$target" "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz target $target FAILED (inputs kept in $scratch)" >&2
    trap - EXIT
    exit 1
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  echo "fuzz $target: $runs runs in ${seconds} s, clean"
  if [ "$merge" = "--merge" ]; then
    "$bin/${target}_fuzz" -merge=1 "$corpus" "$scratch/$target" >"$log" 2>&1
  fi
done
