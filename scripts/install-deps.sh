#!/usr/bin/env bash
# Installs the Debian packages that the build, the tools and the tests need, when missing.
# Usage: scripts/install-deps.sh [native|all]   (native: enough to build and run on Linux)
set -euo pipefail

native=(g++ cmake ninja-build pkg-config git libinih-dev libcli11-dev nlohmann-json3-dev
  libcpp-httplib-dev libsqlite3-dev curl
  googletest libgtest-dev libgmock-dev libbenchmark-dev locales)
# The test command's compilers go through ccache, so a build from a fresh clone reuses what an
# earlier one on this machine compiled from the same sources and flags.
checks=(clang libclang-rt-14-dev clang-format clang-tidy ccache)
windows=(g++-mingw-w64-x86-64 mingw-w64-tools wine64 wine libwine-dev socat)
# Windows deployment: the 32-bit server and 32-bit clients (i686 mingw-w64, 32-bit Wine from
# Debian's i386 architecture) and the .msi package (wixl; msiinfo of msitools reads it back).
deploy=(g++-mingw-w64-i686 wine32:i386 wixl msitools)
package=(dpkg-dev man-db)  # the Debian package: its dependencies (dpkg-shlibdeps), its manual pages
# The print service's libraries for Windows, from Debian's source packages
# (scripts/windows-libs.sh: apt's source fetch, the SQLite amalgamation made with tclsh, the
# cpp-httplib split by its own Python script), and the clients of its tests (curl; the page in
# headless Chromium).
service=(debian-archive-keyring dpkg-dev tcl python3 curl chromium)

want=("${native[@]}")
if [ "${1:-all}" = all ]; then
  want+=("${checks[@]}" "${windows[@]}" "${deploy[@]}" "${package[@]}" "${service[@]}")
fi

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  # wine32 comes from the i386 architecture, which dpkg must know before the package lists are read.
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Windows builds of the service's libraries, 64-bit and 32-bit, in
# ${MOLVEX_BUILD_DIR:-build}/third_party (nothing to do once built).
if [ "${1:-all}" = all ]; then
  bash "$(dirname "$0")/windows-libs.sh" "" x86_64-w64-mingw32 i686-w64-mingw32
fi
