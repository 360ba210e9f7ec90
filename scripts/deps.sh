#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build needs and this machine
# lacks. Runs apt-get only when something is missing. Needs root (or sudo).
#   --fuzz  also what the fuzz build needs (clang and its libFuzzer and
#           sanitizer runtimes)
set -euo pipefail

# CLI11 parses the command line and nlohmann-json writes the report (both
# header-only); GNU parallel runs in the test of splitting the work.
# groff-base renders the manual page in its test; dpkg-dev (dpkg-shlibdeps)
# and file let CPack work out the tool package's run-time dependencies.
packages=(build-essential cmake libboost-dev libboost-serialization-dev
          libgtest-dev libgmock-dev libbenchmark-dev libmeshoptimizer-dev
          libcli11-dev nlohmann-json3-dev parallel
          strace groff-base dpkg-dev file)
if [ "${1:-}" = "--fuzz" ]; then
  shift
  packages+=(clang-14 libclang-rt-14-dev)
fi
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
