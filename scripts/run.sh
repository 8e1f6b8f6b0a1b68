#!/usr/bin/env bash
# Sets up the machine, builds the library and the tool, and runs Pella's main job with
# defaults: the storage server on port 11112, storing into ./Database under the current folder.
# Extra arguments go to `pella serve` (see `pella serve --help`).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

bash "$root/scripts/install-deps.sh" --build-only
echo "pella: building the library and the tool (the first build takes a few minutes)" >&2
bash "$root/scripts/build.sh" --cli >/dev/null
exec "$root/build-cli/pella" serve "$@"
