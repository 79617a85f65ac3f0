#!/usr/bin/env bash
# Installs what is missing, then configures, builds and tests the normal and
# the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
for preset in default sanitize; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
