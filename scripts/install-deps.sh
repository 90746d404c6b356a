#!/usr/bin/env bash
# Installs the Debian packages that are missing, and only those: what building
# the library and browsing with vqiptv need (the README's build section lists
# the same), and with --tests what the tests,
# benchmarks and fuzzers need besides (GoogleTest, Google Benchmark, clang, the
# real players and servers they drive). Idempotent and quiet when everything is
# present. Extra package names may follow (the Windows stage adds its cross
# toolchain and Wine).
#
#   install-deps.sh [--tests] [PACKAGE...]
set -euo pipefail

packages=(
  cmake make g++ binutils pkg-config python3
  rapidjson-dev libcurl4-openssl-dev zlib1g-dev libutf8proc-dev ca-certificates
)
if [[ ${1:-} == --tests ]]; then
  shift
  packages+=(
    dpkg-dev man-db groff-base
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    nginx-light openssl libssl-dev
    ffmpeg mpv vlc-bin vlc-plugin-base
  )
fi
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "installing: ${missing[*]}" >&2
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
