# What every script in scripts/ shares; each sources it first:
#   source "$(dirname "$0")/lib.sh"
# It changes no folder: paths given to a script keep meaning what they meant.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${VORNMT_JOBS:-$(nproc)}
windows_build=${VORNMT_WINDOWS_BUILD:-$repo/build-windows}

# The project's one version is the public header's.
version=$(sed -n 's/^#define VORNMT_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)$/\2/p' \
  "$repo/include/VornMTClient.h" | paste -sd.)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "lib.sh: no version in include/VornMTClient.h" >&2; exit 1; }

# --- Debian packages -----------------------------------------------------------
# What the library, the tools and the tests build with.
build_packages=(cmake ninja-build g++ pkg-config libboost-dev libtinyxml-dev googletest libgtest-dev
  libcpp-httplib-dev)
# The whole Linux test run besides: clang for the fuzzers, Google Benchmark,
# Mono and Python (pytest; build and venv for the wheel) for the bindings,
# Chromium for the view's page, SDL2, Qt 6 and Xvfb (with the xauth
# xvfb-run needs) for the example applications.
linux_packages=("${build_packages[@]}" clang libclang-rt-14-dev libbenchmark-dev
  mono-devel mono-runtime python3 python3-pytest python3-setuptools python3-wheel python3-pip python3-build
  python3-venv chromium libsdl2-dev qt6-base-dev xvfb xauth)
# The Windows DLL alone (scripts/build-windows --library): mingw-w64 builds;
# dpkg-dev and xz-utils unpack TinyXML's Debian source package.
windows_library_packages=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 dpkg-dev
  xz-utils libboost-dev)
# The whole Windows cross-build besides: lld and llvm make and link the
# Visual C++ import library; clang builds the Visual C++ consumer test; Wine
# runs the tests.
windows_packages=("${windows_library_packages[@]}" pkg-config wine64 googletest binutils clang lld llvm)

# ensure_packages [--no-install-recommends] PACKAGE...: installs those not
# installed yet (as root; apt waits for another apt's lock). Fails naming
# them when it cannot; VORNMT_SKIP_APT=1 installs nothing.
ensure_packages() {
  local options=() missing=() package
  if [ "${1:-}" = --no-install-recommends ]; then options=("$1"); shift; fi
  [ "${VORNMT_SKIP_APT:-0}" = 1 ] && return 0
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "$(basename "$0"): these Debian packages are missing; install them as root: ${missing[*]}" >&2
    exit 1
  fi
  echo "$(basename "$0"): installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=900 update -qq
  apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
}

# --- Builds --------------------------------------------------------------------
# configure_release DIR [CMAKE_OPTION...]: the Release build the packages,
# the demo and the benchmarks use, without the tests.
configure_release() {
  local dir=$1
  shift
  cmake -S "$repo" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORNMT_BUILD_TESTS=OFF "$@" >/dev/null
}

# absolute_dir DIR: makes DIR if needed and prints its absolute path.
absolute_dir() {
  mkdir -p "$1"
  (cd "$1" && pwd)
}

# usage WORDS...: says how to call the script and ends it with status 2.
usage() {
  echo "usage: $0 $*" >&2
  exit 2
}

step() { printf '\n==== %s (%s)\n' "$*" "$(date +%T)"; }
