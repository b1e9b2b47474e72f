#!/usr/bin/env bash
# Installs the missing Debian packages that building and running need, builds
# the program and starts it. Parameters are passed to the program (for
# example: ./run.sh PL).
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
install_missing_packages build/packages.log "${PELV_RUN_PACKAGES[@]}"

# The machine's USB device belongs to root until a udev rule gives the user access.
rule=/etc/udev/rules.d/70-pelvartonix.rules
if [ ! -e "$rule" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "The udev rule $rule is not installed (run ./run.sh once as root): the machine is open to root only."
  elif [ ! -d /etc/udev ]; then
    echo "There is no /etc/udev here, so the udev rule $rule is not installed: the machine is open to root only."
  else
    mkdir -p /etc/udev/rules.d
    echo 'SUBSYSTEM=="usb", ENV{DEVTYPE}=="usb_device", ATTR{manufacturer}=="Dravinor", MODE="0666", TAG+="uaccess"' >"$rule"
    command -v udevadm >/dev/null && udevadm control --reload 2>/dev/null || true
    echo "Installed $rule: the machine is open to every user (plug it in again)."
  fi
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELV_TESTS=OFF -DPELV_BENCH=OFF >/dev/null
cmake --build build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "The program is built (build/bin/Pelvartonix), but there is no display to show it on:"
  echo "DISPLAY is not set. Start ./run.sh from a desktop session (or through ssh -X)."
  exit 1
fi
exec build/bin/Pelvartonix "$@"
