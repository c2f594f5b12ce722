#!/usr/bin/env bash
# Installs everything Canvello needs to build, test and benchmark on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  build-essential cmake g++ clang libclang-rt-dev \
  qt6-base-dev libgl1-mesa-dev qt6-qpa-plugins \
  libjpeg62-turbo-dev libgtest-dev libgmock-dev libbenchmark-dev \
  fonts-dejavu-core xvfb xauth poppler-utils \
  imagemagick libjpeg-turbo-progs gifsicle giflib-tools libvips-tools libvips-dev libgif-dev \
  libglib2.0-dev openbox x11-utils xdotool xclip desktop-file-utils locales >/dev/null
# A locale with a decimal comma, so the test that number formatting ignores the locale runs.
sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
locale-gen >/dev/null
