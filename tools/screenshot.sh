#!/usr/bin/env bash
# Makes the README's screenshot of the window (res/screenshots/window.png):
# builds corvane_screenshot in build/ and runs it on Qt's offscreen platform,
# which draws a GeoKuk cache of its own and grabs the window over it.
#   tools/screenshot.sh [OUTPUT.png]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$here/tools/setup.sh"
corvane_install_packages "${corvane_packages_cvmap[@]}" "${corvane_packages_window[@]}"
output="${1:-$here/res/screenshots/window.png}"
build="$here/build"
cmake -S "$here" -B "$build" -DCORVANE_WITH_WINDOW=ON >/dev/null
cmake --build "$build" --target corvane_screenshot -j "$(corvane_jobs)" >/dev/null
mkdir -p "$(dirname "$output")"
HOME="$(mktemp -d)" QT_QPA_PLATFORM=offscreen "$build/app/corvane_screenshot" "$output"
