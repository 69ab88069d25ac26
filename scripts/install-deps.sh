#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the screenshots need,
# and the npm packages of the tests (into tools/node, not globally).
# Idempotent and non-interactive: packages already present are left alone, and
# the package lists are refreshed only when something is missing.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build
    qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n
    libsqlite3-dev libcurl4-openssl-dev
    xvfb xauth fonts-dejavu-core fonts-liberation2 poppler-utils
    python3-aiosmtpd openssl
    libqpdf-dev libxml2-utils python3-pikepdf
    libqrencode-dev zxing-cpp-tools
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

# Node and npm run the e-invoice validation in the tests. A machine with
# another Node distribution already has both (its nodejs carries npm, and
# Debian's npm package would conflict with it), so only missing commands count.
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then
        SUDO="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The npm packages the tests use (xslt3 for the EN 16931 rules), pinned by
# tools/node/package-lock.json and installed beside it, never globally.
NODE_TOOLS="$(cd "$(dirname "$0")/.." && pwd)/tools/node"
if [ ! -x "$NODE_TOOLS/node_modules/.bin/xslt3" ] ||
    [ "$NODE_TOOLS/package-lock.json" -nt "$NODE_TOOLS/node_modules/.package-lock.json" ]; then
    echo "Installing the npm packages of the tests into $NODE_TOOLS"
    npm ci --prefix "$NODE_TOOLS" --no-audit --no-fund --silent
fi
