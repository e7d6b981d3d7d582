#!/bin/sh
# Installs what the build, the tests and the benchmarks need on Debian 12.
# Idempotent: does nothing when everything is already there.
set -e

PKGS="cmake make g++ clang clang-format libclang-rt-14-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
wine wine64 xvfb xauth xclip fonts-ipafont-gothic fonts-dejavu-core locales googletest nlohmann-json3-dev"

missing=""
for p in $PKGS; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi

if [ -n "$missing" ]; then
    echo "deps.sh: installing$missing"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

# Wine cannot create files with non-ASCII names unless the host knows the locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "deps.sh: generating ja_JP.UTF-8"
    if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
    $SUDO locale-gen >/dev/null
fi
