#!/usr/bin/env bash
# Builds CorvaneMapCreator (Release, in build/) and starts the window.
#   ./run.sh              start the window
#   ./run.sh cvmap ARGS   run the command line instead
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/tools/setup.sh"
corvane_install_missing

build="$here/build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCORVANE_WITH_WINDOW=ON -DCORVANE_WITH_TESTS=ON -DCORVANE_WITH_BENCH=ON >/dev/null
fi

if [ "${1:-}" = "cvmap" ]; then
  shift
  cmake --build "$build" --target cvmap -j "$(corvane_jobs)" >/dev/null
  exec "$build/cli/cvmap" "$@"
fi

cmake --build "$build" -j "$(corvane_jobs)" >/dev/null
if [ -x "$build/app/CorvaneMapCreator" ]; then
  exec "$build/app/CorvaneMapCreator" "$@"
fi
echo "The window is not built yet; use the command line:" >&2
exec "$build/cli/cvmap" --help
