#!/usr/bin/env bash
# The long fuzz runs: ROUNDS rounds (default 5) in which every target runs SECONDS (default
# 120) after the other, so all targets get the same share however early it is stopped. What
# adds coverage is folded into the committed corpora. Needs the sanitizer build
# (cmake --preset sanitize && cmake --build --preset sanitize).
#   bash scripts/fuzz-long.sh [ROUNDS] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-5}"
seconds="${2:-120}"
for round in $(seq 1 "$rounds"); do
  echo "== round $round of $rounds"
  bash scripts/fuzz.sh "$seconds" --merge
done
