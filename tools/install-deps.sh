#!/usr/bin/env bash
# Installs every package the Linux and Windows builds and their tests need, from Debian's registry.
# Idempotent and quiet when everything is there; runs `apt-get update` only when something
# is missing. Needs root (or sudo) only in that case.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libxml2-dev libssl-dev liblog4cpp5-dev libsqlite3-dev
  libcpp-httplib-dev nlohmann-json3-dev
  # The Windows add-in: the cross compiler, widl, Wine to run its tests, NSIS for the
  # installer, and GoogleTest's sources to cross-build the test framework.
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine libwine-dev nsis googletest
)

# The page's browser test: Debian's chromium, and Node.js where the machine has none of its
# own; its npm packages follow at the end.
packages+=(chromium)
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

# The browser test's driver library, as its lock file pins it; installed again when the lock
# file changed since.
browser_test="$(dirname "$0")/../tests/zenlet/browser"
if ! cmp -s "$browser_test/package-lock.json" "$browser_test/node_modules/.installed-lock.json"; then
  echo "Installing the browser test's npm packages"
  (cd "$browser_test" && npm ci --no-audit --no-fund --loglevel=error >/dev/null &&
     cp package-lock.json node_modules/.installed-lock.json)
fi
