#!/usr/bin/env bash
# Installs, from Debian's packages, everything the build, the tests and the real conversion need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
as_root apt-get update -q
as_root apt-get install -y -q --no-install-recommends \
  cmake ninja-build g++ clang libclang-rt-14-dev valgrind googletest libgtest-dev libbenchmark-dev \
  g++-mingw-w64-i686 wine wine32:i386 \
  default-jre-headless default-jdk-headless fop libbatik-java 7zip wget poppler-utils qpdf python3 \
  gnuplot-nox librsvg2-bin python3-cairosvg
