#!/usr/bin/env bash
# Installs, from Debian's packages, what the project needs:
#   bash scripts/install-deps.sh               everything: the build, the tests (both
#                                               platforms), the real conversion, the benchmarks
#                                               and the fidelity bench's generators
#   bash scripts/install-deps.sh --conversion  only what building the native launcher and a
#                                               real conversion need (the demo)
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
conversion=(
  cmake ninja-build g++
  default-jre-headless default-jdk-headless fop libbatik-java fonts-dejavu-core fonts-liberation2
  fontconfig poppler-utils
)
if [ "${1:-}" = "--conversion" ]; then
  as_root apt-get update -q
  as_root apt-get install -y -q --no-install-recommends "${conversion[@]}"
  exit 0
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
as_root apt-get update -q
as_root apt-get install -y -q --no-install-recommends "${conversion[@]}" \
  clang libclang-rt-14-dev valgrind googletest libgtest-dev \
  python3-matplotlib python3-pil \
  g++-mingw-w64-i686 wine wine32:i386 \
  7zip wget qpdf python3 strace graphviz \
  gnuplot-nox librsvg2-bin python3-cairosvg fonts-lato fonts-noto-core fonts-noto-cjk
