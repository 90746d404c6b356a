#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Idempotent and quiet when everything is present. Extra package names may be
# passed as arguments (the Windows stage adds its cross toolchain and Wine).
set -euo pipefail

packages=(
  cmake make g++ binutils pkg-config python3 dpkg-dev man-db groff-base
  rapidjson-dev libcurl4-openssl-dev ca-certificates
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  nginx-light openssl libssl-dev
  ffmpeg mpv vlc-bin vlc-plugin-base
  "$@"
)

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
