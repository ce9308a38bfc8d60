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
  # The Windows add-in: the cross compilers of its 64- and 32-bit DLLs, widl, Wine to run
  # their tests, NSIS for the installer, and GoogleTest's sources to cross-build the test
  # framework.
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine64 wine libwine-dev nsis googletest
  # Wine's TLS (schannel, under WinInet's HTTPS) loads GnuTLS at run time; Wine only
  # recommends it, and recommendations are not installed here.
  libgnutls30
)

# The fuzz targets (the fuzz preset): Debian's clang, and the compiler runtime with libFuzzer
# and the sanitizers, which clang does not bring along. Both are the distribution's default
# version, so they always match.
packages+=(clang libclang-rt-dev)

# The page's browser test: Debian's chromium, its chromedriver and the selenium bindings of
# Debian's own python3. Packaged together, they always match one another; nothing of npm,
# nor any Node.js or browser the machine may carry, is used.
packages+=(chromium chromium-driver python3 python3-selenium)

# Wine's 32-bit half runs the 32-bit programs (the 32-bit DLL's tests, the installer), from the
# i386 architecture. Only where the kernel runs 32-bit programs: elsewhere its loader cannot
# start, and Debian's `wine`, which prefers it once installed, would then run nothing at all.
architectures=()
if "$(dirname "$0")/wine/runs-32-bit-programs.sh" >/dev/null; then
  packages+=(wine32:i386)
  dpkg --print-foreign-architectures | grep -qx i386 || architectures+=(i386)
fi

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
  for architecture in "${architectures[@]}"; do
    "${sudo[@]}" dpkg --add-architecture "$architecture"
  done
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
