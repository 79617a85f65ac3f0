#!/usr/bin/env bash
# Installs what is missing, configures, builds and tests: the normal build,
# the sanitizer build, and the fuzz targets replaying their corpora.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
for preset in default sanitize fuzz; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2 --no-tests=ignore
done
