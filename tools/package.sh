#!/usr/bin/env bash
# Builds the Debian package of the program: a release build with Debian's
# hardening flags (dpkg-buildflags), installed under /usr, packed by CPack.
# The package is written as build/vfon_<version>_<arch>.deb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
# Every hardening feature (bind-now too). CMake reads CXXFLAGS and LDFLAGS
# only at the first configure and never CPPFLAGS (which carries
# _FORTIFY_SOURCE): the flags are handed over explicitly, on every run.
export DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}
eval "$(dpkg-buildflags --export=sh)"
# What hardening-check asks besides: stack clash probes and control-flow
# protection (later dpkg versions add them to the flags themselves).
for f in -fstack-clash-protection -fcf-protection; do
    case " $CXXFLAGS " in *" $f "*) ;; *) CFLAGS="$CFLAGS $f" CXXFLAGS="$CXXFLAGS $f" ;; esac
done
cmake -S "$root" -B "$root/build-deb" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DVFON_TESTS=OFF -DVFON_BENCH=OFF -DVFON_SANITIZE=OFF \
    -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
    -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_POSITION_INDEPENDENT_CODE=ON
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
cmake --build "$root/build-deb" -j"$jobs"
mkdir -p "$root/build"
rm -f "$root"/build/vfon_*.deb
(cd "$root/build-deb" && cpack -G DEB -B "$root/build-deb/package")
cp "$root"/build-deb/package/vfon_*.deb "$root/build/"
ls "$root"/build/vfon_*.deb
