#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those missing.
set -euo pipefail
packages="cmake make g++ pkg-config qt6-base-dev libqcustomplot-dev libgl-dev libgtest-dev libgmock-dev googletest libbenchmark-dev libcli11-dev xvfb xauth fonts-dejavu-core"
# vfon-export and the readers of its tests; locales builds a decimal-comma locale for a test.
packages="$packages libhdf5-dev libdeflate-dev python3-numpy python3-h5py python3-pandas locales"
# The tidy HDF5 layout read by PyTables and xarray; the time zone database of --timezone.
packages="$packages python3-tables python3-xarray tzdata"
# Qt's own dialogs in Russian (qtbase_ru.qm).
packages="$packages qt6-translations-l10n"
# sd_notify; the Debian package (tools/package.sh) and its checks (tools/check-package.sh).
packages="$packages libsystemd-dev systemd dpkg-dev file help2man lintian desktop-file-utils appstream"
# hardening-check of the packaged binaries (tools/check-package.sh).
packages="$packages devscripts"
# The station's publisher and vfon-centre (MQTT client library, Qt's HTTP server);
# the tests start their own broker and subscribe with its clients.
packages="$packages libmosquitto-dev libssl-dev mosquitto mosquitto-clients qt6-httpserver-dev qt6-websockets-dev"
# The centre's page loaded by a browser in the tests.
packages="$packages chromium"
# A real Prometheus and promtool against the centre's /metrics and alert rules;
# Chart.js, which the centre serves for its station pages.
packages="$packages prometheus libjs-chart.js"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
