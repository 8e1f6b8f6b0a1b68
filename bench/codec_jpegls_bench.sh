#!/usr/bin/env bash
# JPEG-LS lossless encode and decode of CT images: pella convert (per file, and a folder in one
# process) against DCMTK's dcmcjpls and dcmdjpls. See codec_bench_common.sh.
source "$(dirname "$0")/codec_bench_common.sh"
codec_bench "JPEG-LS lossless" 1.2.840.10008.1.2.4.80 dcmcjpls dcmdjpls
