#!/usr/bin/env bash
# Registers a driver library in the hive: register.sh /path/to/library.so
# The machine-wide hive /etc/vfon/registry.ini is used where it exists (or
# where we are root); otherwise the per-user one, ~/.config/vfon/registry.ini.
set -euo pipefail
lib=$(realpath "$1")
machine=/etc/vfon/registry.ini
user="$HOME/.config/vfon/registry.ini"
if [ -e "$machine" ] || [ "$(id -u)" -eq 0 ]; then
    hive=$machine
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
else
    hive=$user
    sudo=""
fi
$sudo mkdir -p "$(dirname "$hive")"
printf '[SOFTWARE\\Virtual Tools LTD\\Drivers\\1.0\\Lan10m8PCI]\npath=%s\n' "$lib" | $sudo tee "$hive" >/dev/null
echo "driver registered in $hive: $lib"
