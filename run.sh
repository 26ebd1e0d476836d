#!/usr/bin/env bash
# Builds CorvaneMapCreator (Release, in build-run/) and starts the window.
#   ./run.sh              start the window
#   ./run.sh cvmap ARGS   run the command line instead
# Installs only what it needs: the command line needs no Qt, and neither
# needs the test or benchmark libraries. The build is quiet; when it fails,
# its log is shown and the script exits non-zero.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/tools/setup.sh"

# Its own build folder: test.sh builds build/ with the tests and benchmarks.
build="$here/build-run"
log="$build/run-build.log"
mkdir -p "$build"

quiet() {  # runs a build step, showing its output only when it fails
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    echo "run.sh: the build failed (log: $log)" >&2
    exit 1
  fi
}

configure() {  # window ON|OFF
  quiet cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCORVANE_WITH_WINDOW="$1" -DCORVANE_WITH_TESTS=OFF -DCORVANE_WITH_BENCH=OFF
}

window_configured() {
  grep -q '^CORVANE_WITH_WINDOW:BOOL=ON$' "$build/CMakeCache.txt" 2>/dev/null
}

if [ "${1:-}" = "cvmap" ]; then
  shift
  corvane_install_packages "${corvane_packages_cvmap[@]}"
  # A folder already set up for the window keeps it; a new one gets no Qt.
  [ -f "$build/CMakeCache.txt" ] || configure OFF
  quiet cmake --build "$build" --target cvmap -j "$(corvane_jobs)"
  exec "$build/cli/cvmap" "$@"
fi

corvane_install_packages "${corvane_packages_cvmap[@]}" "${corvane_packages_window[@]}"
window_configured || configure ON
quiet cmake --build "$build" --target CorvaneMapCreator cvmap -j "$(corvane_jobs)"
exec "$build/app/CorvaneMapCreator" "$@"
