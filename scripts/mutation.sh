#!/usr/bin/env bash
# Mutation testing of upgrade/ and json/: installs what is missing, then runs
# scripts/mutation.py with the arguments given (see --help). By hand or
# overnight; not part of CI.
#   scripts/mutation.sh --list                 # the seeded sample, nothing built
#   scripts/mutation.sh                        # 160 mutants, seed 17
#   scripts/mutation.sh --replay build/mutation/<run>/sample.jsonl
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache turns the rebuild of a restored source into a cache look-up.
scripts/install-missing.sh -f scripts/packages.txt python3 ccache
exec python3 scripts/mutation.py "$@"
