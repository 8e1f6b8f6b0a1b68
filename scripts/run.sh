#!/usr/bin/env bash
# Sets up the machine, builds Pella and runs its main job with defaults: the storage server
# on port 11112, storing into ./Database. Extra arguments go to `pella serve` (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
exec build/pella serve "$@"
