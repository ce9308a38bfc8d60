#!/usr/bin/env bash
# Installs every package the Linux build and its tests need: Debian's packages, and the
# browser test's driver library from npm (pinned by tests/zenlet/browser/package-lock.json).
# Idempotent and quiet when everything is there; runs `apt-get update` only when something
# is missing. Needs root (or sudo) only in that case.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libxml2-dev libssl-dev liblog4cpp5-dev libsqlite3-dev
  libcpp-httplib-dev nlohmann-json3-dev
  chromium
)
# The browser test runs on Node.js; a machine that has it already keeps its own.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

browser_test=tests/zenlet/browser
if [ ! -f "$browser_test/node_modules/playwright-core/package.json" ]; then
  echo "Installing the browser test's npm packages"
  (cd "$browser_test" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
