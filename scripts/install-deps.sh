#!/usr/bin/env bash
# Installs the Debian 12 packages Tollkeeper needs to build, test and run headless.
# Idempotent: packages already present are not fetched again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsqlite3-dev libsecret-1-dev
  fonts-dejavu-core
  poppler-utils python3 python3-aiosmtpd openssl
  libnss-wrapper # the tests' own account list for the creation of customers from accounts
  # PostgreSQL: libpq, and the server binaries the tests start their own throw-away server from
  # (scripts/pg-test-server.sh). The tests never use the package's own cluster: whether or not
  # the install starts it, they talk to their server over its own socket folder, never TCP.
  libpq-dev postgresql
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
