#!/usr/bin/env bash
# The fuzz stage: builds the fuzz targets as the README shows (clang-14,
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for 45 s over
# its checked-in seeds, two at a time, so seven targets take three minutes. A
# target that no longer builds, crashes, leaks, breaks one of its invariants
# or hangs fails the stage; the input that did it is kept under
# <build dir>/artifacts/. QVX_FUZZ_SECONDS sets the time per target and
# QVX_FUZZ_BUILD_DIR the build folder (build/fuzz).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${QVX_FUZZ_BUILD_DIR:-"$root/build/fuzz"}
seconds=${QVX_FUZZ_SECONDS:-45}
jobs=$(nproc)
(( jobs > 2 )) && jobs=2
started=$(date +%s)
trap 'echo "=== fuzz: stage took $(( $(date +%s) - started )) s" >&2' EXIT

"$root/scripts/install-deps.sh" --tests

echo "=== fuzz: configure and build" >&2
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$dir" -DQVX_FUZZ=ON >/dev/null
cmake --build "$dir" -j"$jobs" >/dev/null

# fuzz/<area>/... builds fuzz_<name>; its seeds are fuzz/corpus/<name> for the
# parser and fuzz/<area>/corpus/<name> otherwise.
seeds_of() {
  local area=$1 name=$2
  if [[ $area == parser ]]; then echo "$root/fuzz/corpus/$name"; else echo "$root/fuzz/$area/corpus/$name"; fi
}

run_one() {
  local exe=$1 area name seeds log
  area=$(basename "$(dirname "$exe")")
  name=${exe##*/fuzz_}
  seeds=$(seeds_of "$area" "$name")
  log="$dir/logs/$name.log"
  mkdir -p "$dir/scratch/$name" "$dir/artifacts/$name" "$dir/logs"
  if [[ ! -d $seeds ]] || [[ -z $(ls -A "$seeds") ]]; then
    echo "fuzz_$name: no seeds in $seeds" >&2
    return 1
  fi
  # -timeout: one input running this long counts as a hang.
  if ! timeout $(( seconds + 300 )) "$exe" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$dir/artifacts/$name/" "$dir/scratch/$name" "$seeds" >"$log" 2>&1; then
    echo "fuzz_$name FAILED (artifacts in $dir/artifacts/$name, log $log):" >&2
    tail -n 40 "$log" >&2
    return 1
  fi
  echo "fuzz_$name: $(grep -m1 -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$') runs" >&2
}

echo "=== fuzz: each target for ${seconds} s" >&2
mapfile -t targets < <(find "$dir/fuzz" -type f -perm -u+x -name 'fuzz_*' | sort)
(( ${#targets[@]} > 0 )) || { echo "no fuzz targets were built" >&2; exit 1; }
failed=0 running=0
for exe in "${targets[@]}"; do
  run_one "$exe" &
  if (( ++running >= jobs )); then
    wait -n || failed=1
    running=$(( running - 1 ))
  fi
done
while (( running > 0 )); do
  wait -n || failed=1
  running=$(( running - 1 ))
done
exit "$failed"
