#!/usr/bin/env bash
# Installs what is missing, builds the AddressSanitizer + UndefinedBehavior-
# Sanitizer configuration and runs the whole suite headless through ctest;
# then builds the Debian package and checks it (tools/check-package.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVFON_SANITIZE=ON -DVFON_BENCH=OFF
cmake --build "$root/build-asan" -j"$(nproc)"
cd "$root/build-asan"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --output-on-failure -j"$(nproc)"
bash "$root/tools/package.sh"
bash "$root/tools/check-package.sh"
