#!/usr/bin/env bash
# The installed library as a player developer meets it, offline and without root.
#
#   install_test.sh tree BUILD_DIR HOST_DIR PLAYLIST
#       installs BUILD_DIR into a temporary prefix, checks its files, renders
#       the man page, and builds and runs the C host of HOST_DIR against the
#       prefix twice: with find_package and with pkg-config
#   install_test.sh deb BUILD_DIR
#       makes the Debian package and checks what it holds
#   install_test.sh hardening BUILD_DIR CHECK
#       installs BUILD_DIR into a temporary prefix and has the CMake script
#       CHECK read the installed library and tool for their hardening marks
set -euo pipefail

# Every file a prefix must hold (bash patterns: the library folder may be
# lib or a multiarch lib/x86_64-linux-gnu).
expected=(
  bin/vqiptv
  include/quorvex_iptv.h
  include/quorvex_iptv_version.h
  "lib*/quorvex-vequora-iptv-m3u-source-client.so"
  "lib*/cmake/quorvex_iptv/quorvex_iptvConfig.cmake"
  "lib*/cmake/quorvex_iptv/quorvex_iptvConfigVersion.cmake"
  "lib*/cmake/quorvex_iptv/quorvex_iptvTargets.cmake"
  "lib*/pkgconfig/quorvex-iptv.pc"
  share/man/man1/vqiptv.1.gz
  share/bash-completion/completions/vqiptv
  share/doc/quorvex-iptv/LICENSE
)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# run LOG COMMAND...: runs quietly; on failure shows what it said.
run() {
  local log=$1; shift
  "$@" >"$scratch/$log" 2>&1 || { echo "failed: $*" >&2; cat "$scratch/$log" >&2; exit 1; }
}

# holds_all LISTING: every expected pattern matches a line of LISTING (paths
# relative to the prefix).
holds_all() {
  local pattern path found missing=0
  for pattern in "${expected[@]}"; do
    found=0
    while IFS= read -r path; do
      # shellcheck disable=SC2053
      [[ $path == $pattern ]] && found=1 && break
    done <"$1"
    (( found )) || { echo "missing: $pattern" >&2; missing=1; }
  done
  return $missing
}

# renders PAGE: man formats it without a warning.
renders() {
  MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$1" >"$scratch/man.txt" 2>"$scratch/man.err"
  [[ ! -s $scratch/man.err ]] || { echo "man -l $1:" >&2; cat "$scratch/man.err" >&2; return 1; }
  grep -q '^EXIT STATUS' "$scratch/man.txt" || { echo "man -l $1: no EXIT STATUS section" >&2; return 1; }
}

# lists_groups OUTPUT: the host printed the playlist's root folder.
lists_groups() {
  grep -q '^\[{"id":"/.*"folder":true' "$1" || { echo "no listing:" >&2; cat "$1" >&2; return 1; }
}

tree() {
  local build=$1 host=$2 playlist=$3 prefix=$scratch/prefix
  run install.log cmake --install "$build" --prefix "$prefix"
  (cd "$prefix" && find . -type f | sed 's|^\./||') >"$scratch/files"
  holds_all "$scratch/files"
  renders "$prefix/share/man/man1/vqiptv.1.gz"

  run configure.log cmake -S "$host" -B "$scratch/host" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release
  run build.log cmake --build "$scratch/host"
  "$scratch/host/host" "$playlist" >"$scratch/cmake.out"
  lists_groups "$scratch/cmake.out"

  local pc_dir libdir
  pc_dir=$(dirname "$prefix"/lib*/pkgconfig/quorvex-iptv.pc)
  libdir=$(PKG_CONFIG_PATH=$pc_dir pkg-config --variable=libdir quorvex-iptv)
  # shellcheck disable=SC2046
  run cc.log "${CC:-cc}" "$host/main.c" -o "$scratch/host_pc" $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs quorvex-iptv)
  LD_LIBRARY_PATH=$libdir "$scratch/host_pc" "$playlist" >"$scratch/pc.out"
  cmp -s "$scratch/cmake.out" "$scratch/pc.out" || { echo "the two hosts differ" >&2; exit 1; }
}

deb() {
  local build=$1
  (cd "$build" && run cpack.log cpack -G DEB -B "$scratch/deb")
  local package
  package=$(echo "$scratch"/deb/*.deb)
  dpkg-deb -c "$package" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' >"$scratch/files"
  holds_all "$scratch/files"
  dpkg-deb -f "$package" Depends | grep -q libcurl || { echo "no dependency on libcurl" >&2; exit 1; }
}

hardening() {
  local build=$1 check=$2 prefix=$scratch/prefix
  run install.log cmake --install "$build" --prefix "$prefix"
  local library
  library=$(echo "$prefix"/lib*/quorvex-vequora-iptv-m3u-source-client.so)
  run hardening.log cmake -DLIBRARY="$library" -DPROGRAM="$prefix/bin/vqiptv" -P "$check"
}

mode=$1; shift
"$mode" "$@"
echo "ok: $mode"
