#!/usr/bin/env bash
# JPEG 2000 lossless encode and decode of CT images: pella convert (per file, and a folder in
# one process) against GDCM's gdcmconv --j2k and --raw. See codec_bench_common.sh.
source "$(dirname "$0")/codec_bench_common.sh"
codec_bench "JPEG 2000 lossless" 1.2.840.10008.1.2.4.90 "gdcmconv --j2k" "gdcmconv --raw"
