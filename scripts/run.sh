#!/usr/bin/env bash
# Sets up the machine, builds Pella and runs its main job with defaults.
# For now: reads a sample DICOM file and lists its elements.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
sample="${1:-/usr/lib/python3/dist-packages/pydicom/data/test_files/CT_small.dcm}"
exec build/pella elements "$sample"
