#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Talvex needs to build, run and test, when any is missing.
# Never removes or replaces an installed package: apt refuses rather than swap, say, the system
# logger.
# Usage: scripts/deps.sh [run|test]   (test adds what the test suite needs)
set -euo pipefail

mode=${1:-run}
# talvex-send speaks RELP through librelp.
pkgs=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
      libqt6network6 libqt6widgets6 qt6-qpa-plugins fonts-dejavu-core xvfb xauth pandoc librelp-dev)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

if [ "$mode" = test ]; then
  pkgs+=(dpkg-dev file clang clang-format libclang-rt-14-dev lintian appstream)
  # The timestamp tests read and write local times in a zone with summer time (Europe/Paris).
  pkgs+=(tzdata)
  # The echo pane's paint check runs on an Xvfb (above) with a window manager.
  pkgs+=(openbox)
  # The receive test runs against the system logger that is there; only a machine with none
  # gets rsyslog.
  if ! installed rsyslog && ! installed syslog-ng-core; then
    pkgs+=(rsyslog)
  fi
  # The transport tests start a private rsyslog with its TLS driver and its RELP input, and make
  # their certificates with openssl. These are rsyslog's own modules: asked for only where rsyslog
  # is (or is being) installed, never in place of another logger.
  pkgs+=(openssl)
  if installed rsyslog || [[ " ${pkgs[*]} " == *" rsyslog "* ]]; then
    pkgs+=(rsyslog-gnutls rsyslog-relp)
  fi
fi

missing=()
for p in "${pkgs[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo=sudo; else
    echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends --no-remove "${missing[@]}"
