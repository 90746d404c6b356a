#!/usr/bin/env bash
# The installed library as a player developer meets it, offline and without root.
#
#   install_test.sh tree BUILD_DIR HOST_DIR EXAMPLE PLAYLIST
#       installs BUILD_DIR into a temporary prefix, checks its files, renders
#       the man page, and builds against the prefix the C host of HOST_DIR
#       with pkg-config, the C and C++ hosts of HOST_DIR with find_package and
#       the dlopen host EXAMPLE; each of them and the installed vqiptv then
#       run with an empty environment, so that nothing but what the prefix
#       and the binaries carry finds the module
#   install_test.sh deb BUILD_DIR
#       makes the Debian package and checks what it holds: files, paths of
#       /usr in the pkg-config file and the man page, the module's SONAME
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

# bare PROGRAM ARGS...: runs with an empty environment (no LD_LIBRARY_PATH).
bare() { env -i "$@"; }

tree() {
  local build=$1 host=$2 example=$3 playlist=$4 prefix=$scratch/prefix
  run install.log cmake --install "$build" --prefix "$prefix"
  (cd "$prefix" && find . -type f | sed 's|^\./||') >"$scratch/files"
  holds_all "$scratch/files"
  renders "$prefix/share/man/man1/vqiptv.1.gz"
  local module
  module=$(echo "$prefix"/lib*/quorvex-vequora-iptv-m3u-source-client.so)
  configured "$prefix/share/man/man1/vqiptv.1.gz" "$module" "$prefix/share/bash-completion/completions/vqiptv"
  zcat "$prefix/share/man/man1/vqiptv.1.gz" | grep -qF "quorvex-iptv $(bare "$prefix/bin/vqiptv" version | cut -d' ' -f2)" ||
    { echo "the man page names another version than vqiptv's" >&2; exit 1; }

  run configure.log cmake -S "$host" -B "$scratch/host" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release
  run build.log cmake --build "$scratch/host"
  bare "$scratch/host/host" "$playlist" >"$scratch/cmake.out"
  lists_groups "$scratch/cmake.out"
  bare "$scratch/host/host_cpp" "$playlist" >"$scratch/cpp.out"
  same "$scratch/cmake.out" "$scratch/cpp.out"

  local pc=(env PKG_CONFIG_PATH="$(dirname "$prefix"/lib*/pkgconfig/quorvex-iptv.pc)" pkg-config)
  [[ $("${pc[@]}" --variable=module quorvex-iptv) == "$module" ]] || { echo "pkg-config names another module" >&2; exit 1; }
  # shellcheck disable=SC2046
  run cc.log "${CC:-cc}" "$host/main.c" -o "$scratch/host_pc" $("${pc[@]}" --cflags --libs quorvex-iptv)
  bare "$scratch/host_pc" "$playlist" >"$scratch/pc.out"
  same "$scratch/cmake.out" "$scratch/pc.out"

  # shellcheck disable=SC2046
  run cc_dl.log "${CC:-cc}" "$example" -o "$scratch/host_dl" $("${pc[@]}" --cflags quorvex-iptv) -ldl
  run host_dl.log bare "$scratch/host_dl" "$("${pc[@]}" --variable=module quorvex-iptv)" "$playlist"
  run vqiptv.log bare "$prefix/bin/vqiptv" groups --file "$playlist"
  grep -q '^[0-9]* groups, [0-9]* channels$' "$scratch/vqiptv.log" || { echo "vqiptv listed no groups" >&2; cat "$scratch/vqiptv.log" >&2; exit 1; }
}

# same A B: the two hosts printed the same.
same() { cmp -s "$1" "$2" || { echo "the hosts differ: $1 $2" >&2; diff "$1" "$2" >&2; exit 1; }; }

# configured PAGE PATH...: the man page holds no placeholder left and names
# each path (written "\-" for "-").
configured() {
  local page=$1 path; shift
  ! zcat "$page" | grep -q '@[A-Z_]*@' || { echo "$page keeps a placeholder" >&2; exit 1; }
  for path in "$@"; do
    zcat "$page" | grep -qF "${path//-/\\-}" || { echo "$page does not name $path" >&2; exit 1; }
  done
}

deb() {
  local build=$1
  (cd "$build" && run cpack.log cpack -G DEB -B "$scratch/deb")
  local package
  package=$(echo "$scratch"/deb/*.deb)
  dpkg-deb -c "$package" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' >"$scratch/files"
  holds_all "$scratch/files"
  dpkg-deb -f "$package" Depends | grep -q libcurl || { echo "no dependency on libcurl" >&2; exit 1; }
  # Installed into /usr: the loader's own directories need no search path.
  dpkg-deb -x "$package" "$scratch/root"
  local pc module
  pc=$(echo "$scratch"/root/usr/lib*/pkgconfig/quorvex-iptv.pc)
  module=$(echo "$scratch"/root/usr/lib*/quorvex-vequora-iptv-m3u-source-client.so)
  grep -qx 'prefix=/usr' "$pc" && ! grep -q rpath "$pc" || { echo "$pc:" >&2; cat "$pc" >&2; exit 1; }
  configured "$scratch/root/usr/share/man/man1/vqiptv.1.gz" "${module#"$scratch/root"}"
  readelf -d "$module" | grep -q 'SONAME.*\[quorvex-vequora-iptv-m3u-source-client.so\]' ||
    { echo "the module's SONAME is not its file name" >&2; exit 1; }
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
