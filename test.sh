#!/usr/bin/env bash
# Builds CorvaneMapCreator with its tests and runs every test through ctest.
#   ./test.sh             Release build in build/, all tests
#   ./test.sh --sanitize  also an AddressSanitizer+UBSan build in build-asan/
#   ./test.sh --quick     skip tests labelled "slow"
# After the Release tests it builds the Debian package from build/ and checks
# it (tools/check_package.sh). Exits non-zero when a build, a test or the
# package check fails.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/tools/setup.sh"
corvane_install_missing

sanitize=0
ctest_args=()
for a in "$@"; do
  case "$a" in
    --sanitize) sanitize=1 ;;
    --quick) ctest_args+=(-LE slow) ;;
    *) echo "unknown option: $a" >&2; exit 2 ;;
  esac
done

export QT_QPA_PLATFORM=offscreen

run_suite() {  # build-folder extra-cmake-args...
  local build="$1"; shift
  cmake -S "$here" -B "$build" -DCORVANE_WITH_WINDOW=ON -DCORVANE_WITH_TESTS=ON -DCORVANE_WITH_BENCH=ON "$@" >/dev/null
  cmake --build "$build" -j "$(corvane_jobs)"
  (cd "$build" && ctest --output-on-failure -j "$(corvane_jobs)" ${ctest_args[@]+"${ctest_args[@]}"})
}

run_suite "$here/build" -DCMAKE_BUILD_TYPE=Release
"$here/tools/check_package.sh" "$here/build"
if [ "$sanitize" -eq 1 ]; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON
fi
