#!/usr/bin/env bash
# Installs the Debian packages that are missing for the named purpose:
#   build  - the program and its tools
#   test   - build plus the test and benchmark libraries, and the headless
#            browser the dashboard's test drives
#   ci     - test plus the sanitizer/fuzzer runtime and the Windows cross-compiler
#   windows - the Windows cross-compiler, GoogleTest's sources and Wine, and
#            the headers and moc that the Windows compile check of the Qt
#            program takes from Debian (Qt 5, libqrencode)
set -euo pipefail
purpose=${1:-build}
packages=(cmake make g++ ccache pkg-config qtbase5-dev qtbase5-dev-tools libqrencode-dev qrencode)
case "$purpose" in
    build) ;;
    windows) packages=(cmake make ccache g++-mingw-w64-x86-64-posix googletest wine64
                       qtbase5-dev qtbase5-dev-tools libqrencode-dev) ;;
    test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev chromium chromium-driver python3-selenium zbar-tools) ;;
    ci) packages+=(libgtest-dev libgmock-dev libbenchmark-dev chromium chromium-driver python3-selenium zbar-tools clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix) ;;
    *) echo "usage: $0 build|test|ci|windows" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
