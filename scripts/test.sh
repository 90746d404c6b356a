#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: a Release build
# (then each of its GoogleTest programs whole, shuffled, and the real players), an
# AddressSanitizer+UndefinedBehaviorSanitizer build, the concurrency tests
# under ThreadSanitizer, 45 seconds of fuzzing per fuzz target, and the Windows
# DLL under Wine. What CI runs.
#
#   test.sh           everything above
#   test.sh --quick   the Release build and its tests only, for iterating: no
#                     players, sanitizers, fuzzing or Wine (a few minutes once
#                     build/release has been built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
quick=0
case ${1:-} in
  --quick) quick=1 ;;
  "") ;;
  *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac

"$root/scripts/install-deps.sh" --tests

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

# build_and_test NAME "BUILD_ARGS" "CTEST_ARGS" CMAKE_ARGS...
build_and_test() {
  local name=$1 build_args=$2 ctest_args=$3; shift 3
  local dir="$root/build/$name"
  echo "=== $name: configure and build" >&2
  cmake -S "$root" -B "$dir" -DQVX_BUILD_TESTS=ON -DQVX_BUILD_BENCH=OFF "$@" >/dev/null
  # shellcheck disable=SC2086
  cmake --build "$dir" -j"$jobs" $build_args >/dev/null
  echo "=== $name: tests" >&2
  # shellcheck disable=SC2086
  (cd "$dir" && ctest --output-on-failure --timeout 600 -j"$jobs" $ctest_args)
}

# Every GoogleTest program of a build once more, whole and in a shuffled
# order, so that no test leans on what ran before it in the same process
# (ctest runs each case alone). QVX_SHUFFLE_SEED repeats a seed.
shuffle_whole() {
  local dir="$root/build/$1" seed=${QVX_SHUFFLE_SEED:-$(( RANDOM % 10000 + 1 ))}
  echo "=== $1: every GoogleTest program whole, shuffled with seed $seed" >&2
  find "$dir/tests" -type f -perm -u+x \( -name '*_test' -o -name '*_tests' \) -print0 | sort -z |
    xargs -0 -P "$jobs" -I{} sh -c \
      'timeout 600 "$1" --gtest_shuffle --gtest_random_seed="$2" --gtest_brief=1 >"$1.shuffled.log" 2>&1 ||
       { cat "$1.shuffled.log"; echo "=== shuffled with seed $2: $1 failed" >&2; exit 255; }' _ {} "$seed"
}

# The quick run configures build/release as the full one does, so the two
# share its objects.
build_and_test release "" "-LE players" -DCMAKE_BUILD_TYPE=Release -DQVX_BUILD_BENCH=ON
(( quick )) && exit 0
shuffle_whole release
# Real players (mpv, ffplay without a window, VLC) against a loopback
# nginx that refuses a stream without its headers, fed by vqiptv.
echo "=== release: players" >&2
(cd "$root/build/release" && ctest --output-on-failure --timeout 600 -L players)
build_and_test asan "" "-LE players" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVX_SANITIZE="address;undefined"
# ThreadSanitizer: the eight-thread test of the whole library and the re-binding
# of the shared adapter.
build_and_test tsan "--target ops_concurrency_test adapter_rebind_test" "-L concurrency" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVX_SANITIZE=thread -DQVX_BUILD_TOOLS=OFF

# Fuzzing, after the seed replays of every build above.
"$root/scripts/fuzz-stage.sh"

if [[ -x "$root/scripts/windows-stage.sh" ]]; then
  "$root/scripts/windows-stage.sh"
fi
