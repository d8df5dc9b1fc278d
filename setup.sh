#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, in one
# apt-get call, and only when something is missing. Sourced by run.sh and
# test.sh.
ULV_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libsdl1.2-dev libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev libpng-dev fonts-ebgaramond fonts-blankenburg
  libxmp-dev libopenmpt-dev fig2dev xvfb xdotool sox libx11-dev
  clang libclang-rt-14-dev dpkg-dev
  xfig-libs
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev ffmpeg
)

# The armel cross-build (build-armel.sh) and the runs under qemu: only
# installed by the scripts that cross-build.
ULV_ARMEL_PACKAGES=(crossbuild-essential-armel qemu-user-static qemu-user)

# SDL 1.2 over SDL 2 (bench/sdl12-compat.sh unpacks it into build-compat/,
# leaving the system's SDL 1.2 alone): the SDL 2 it runs on.
ULV_COMPAT_PACKAGES=(libsdl2-2.0-0)

# The web build (build-web.sh) and its browser tests: only installed by the
# script that builds the page.
ULV_WEB_PACKAGES=(emscripten chromium node-ws python3)

# ulv_setup [PACKAGE...]: installs those of the packages (default
# ULV_PACKAGES) that are missing.
ulv_setup() {
  local missing=()
  [ $# -gt 0 ] || set -- "${ULV_PACKAGES[@]}"
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    ulv_as_root apt-get update -q || return 1
    ulv_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" || return 1
  fi
}

# ulv_as_root COMMAND [ARG...]: runs the command as root: directly when this
# shell is root, else through sudo.
ulv_as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

# ulv_build DIR [cmake options...]: configure and build with Ninja. It
# configures once, and again only when a -DNAME=VALUE option differs from
# the folder's cache (run.sh and test.sh share build/ with ULV_TESTS off
# and on). ULV_TARGETS, when set, names the targets to build instead of all.
ulv_build() {
  local dir=$1
  shift
  local configure=0 opt
  [ -f "$dir/build.ninja" ] || configure=1
  for opt in "$@"; do
    case $opt in
      -D*=*)
        opt=${opt#-D}
        grep -q "^${opt%%=*}:[A-Z]*=${opt#*=}\$" "$dir/CMakeCache.txt" 2>/dev/null || configure=1
        ;;
    esac
  done
  if [ $configure = 1 ]; then
    cmake -S . -B "$dir" -G Ninja "$@" || return 1
  fi
  local targets=()
  [ -n "${ULV_TARGETS:-}" ] && targets=(--target ${ULV_TARGETS})
  cmake --build "$dir" -j "$(nproc)" "${targets[@]}" || return 1
}
