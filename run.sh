#!/usr/bin/env bash
# Builds CorvaneMapCreator (Release, in build/) and starts the window.
#   ./run.sh              start the window
#   ./run.sh cvmap ARGS   run the command line instead
# The build is quiet; when it fails, its log is shown and the script exits
# non-zero.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/tools/setup.sh"
corvane_install_missing

build="$here/build"
log="$build/run-build.log"
mkdir -p "$build"

quiet() {  # runs a build step, showing its output only when it fails
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    echo "run.sh: the build failed (log: $log)" >&2
    exit 1
  fi
}

if [ ! -f "$build/CMakeCache.txt" ]; then
  quiet cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCORVANE_WITH_WINDOW=ON -DCORVANE_WITH_TESTS=ON -DCORVANE_WITH_BENCH=ON
fi

if [ "${1:-}" = "cvmap" ]; then
  shift
  quiet cmake --build "$build" --target cvmap -j "$(corvane_jobs)"
  exec "$build/cli/cvmap" "$@"
fi

quiet cmake --build "$build" -j "$(corvane_jobs)"
if [ -x "$build/app/CorvaneMapCreator" ]; then
  exec "$build/app/CorvaneMapCreator" "$@"
fi
echo "The window is not built yet; use the command line:" >&2
exec "$build/cli/cvmap" --help
