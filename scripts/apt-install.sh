#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not
# installed yet (the scripts' deps-*.sh call it).
#
# A package index that fails to download (a mirror or security index being
# updated, say) does not stop the installation: apt-get update is retried
# once and then the lists that did download are used. The script fails, and
# says which, only when a package cannot be installed.
set -euo pipefail
installed() { [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]; }
missing=()
for p in "$@"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! $sudo apt-get update -qq; then
  echo "apt-get update failed; trying once more" >&2
  sleep 5
  $sudo apt-get update -qq ||
    echo "apt-get update failed again; installing from the package lists that did download" >&2
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null && exit 0
# One package that cannot be had fails the whole request: take the others
# one by one, so that the message names exactly those that are missing.
failed=()
for p in "${missing[@]}"; do
  installed "$p" || $sudo apt-get install -y -qq "$p" >/dev/null || failed+=("$p")
done
[ ${#failed[@]} -eq 0 ] && exit 0
echo "could not install the needed package(s): ${failed[*]} (see apt-get's messages above)" >&2
exit 1
