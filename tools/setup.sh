#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs the Debian packages that are
# missing (apt-get update once, then one apt-get install), nothing if all are
# present. Sourced, not run.
corvane_packages=(
  cmake g++ make pkg-config
  libsqlite3-dev sqlite3
  qt6-base-dev qt6-qpa-plugins
  libgtest-dev libgmock-dev libbenchmark-dev
  libutfcpp-dev libpcre2-dev
)

corvane_install_missing() {
  local missing=()
  local p
  for p in "${corvane_packages[@]}" "$@"; do
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

corvane_jobs() {
  nproc 2>/dev/null || echo 2
}
