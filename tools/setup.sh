#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs the Debian packages that are
# missing (apt-get update once, then one apt-get install), nothing if all are
# present. Sourced, not run.
#
# Packages by need:
#   corvane_packages_cvmap    build and run the command line
#   corvane_packages_window   ... and the window (Qt Widgets, its display
#                             plugins, Qt's Czech texts)
#   corvane_packages_tests    the tests and benchmarks (GoogleTest, Google
#                             Benchmark, PCRE2 as a reference, sqlite3)
#   corvane_packages_package  building and checking the Debian package
corvane_packages_cvmap=(cmake g++ make libsqlite3-dev libutfcpp-dev libgeographiclib-dev nlohmann-json3-dev)
corvane_packages_window=(qt6-base-dev qt6-qpa-plugins qt6-translations-l10n)
corvane_packages_tests=(pkg-config sqlite3 libgtest-dev libgmock-dev libbenchmark-dev libpcre2-dev)
corvane_packages_package=(dpkg-dev desktop-file-utils appstream)
corvane_packages=(
  "${corvane_packages_cvmap[@]}" "${corvane_packages_window[@]}"
  "${corvane_packages_tests[@]}" "${corvane_packages_package[@]}"
)

# Installs what is missing of the given packages.
corvane_install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

# Installs what is missing of every package of the project, and of any
# further packages given.
corvane_install_missing() {
  corvane_install_packages "${corvane_packages[@]}" "$@"
}

corvane_jobs() {
  nproc 2>/dev/null || echo 2
}
