#!/usr/bin/env bash
# Installs the Debian packages that building and testing nivelo need.
# Quiet when everything is already there.
# scripts/setup.sh bench adds the packages of `make bench`.
set -euo pipefail

packages=(
  g++ cmake make
  libgtest-dev            # unit tests
  libfltk1.3-dev          # nivelo_gui's window backend
  xvfb xdotool x11-apps   # real-window tests: virtual display, input, xwd screenshots
  imagemagick             # screenshot conversion and foreign-made test images
  python3                 # writes the test page of the real-window test
  mandoc desktop-file-utils  # the install test lints the man pages and the desktop entry
  libtiff-tools           # tiffinfo/tiffcp check the TIFF files we write
  libtiff-dev libpng-dev libjpeg62-turbo-dev libdeflate-dev  # the readers and writers of TIFF, PNG and JPEG
  libisal-dev             # igzip compresses PNG results
  libqpdf-dev             # reads the pages of scanned PDF files
  python3-pil             # makes and reads back the foreign test files of tests/formats
  img2pdf qpdf python3-pikepdf  # put together the scanned PDF files of tests/documents and the PDF fuzz seeds
  clang-14 libclang-rt-14-dev  # the sanitizer build of the tests, and libFuzzer
  parallel rsync          # nivelo-batch schedules with GNU parallel; rsync moves pages with --trc
  poppler-utils           # pdfimages and pdfinfo judge the PDF nivelo-assemble writes, beside qpdf --check
)

case "${1:-}" in
  bench) packages+=(hyperfine unpaper imagemagick time libleptonica-dev pkg-config ocrmypdf  # the peers nivelo is timed against
                   groff-base ghostscript man-db bsdextrautils fonts-dejavu-core fonts-urw-base35  # text pages set for bench/orientation_wider.py
                   gnucobol3 libtasn1-doc nettle-dev) ;;  # and the manuals it renders
esac

missing=()
for p in "${packages[@]}"; do
  [[ "$p" == \#* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installation des paquets manquants: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
