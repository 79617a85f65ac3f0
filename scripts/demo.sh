#!/usr/bin/env bash
# From a fresh clone to an upgrade on the screen: installs what is missing,
# configures and builds the default preset, then rehearses a whole upgrade
# with upgrade-sim on its built-in demo package. Arguments go to upgrade-sim,
# e.g. scripts/demo.sh --fail-at 40, or scripts/demo.sh --trace.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec build/default/tools/upgrade-sim/upgrade-sim "$@"
