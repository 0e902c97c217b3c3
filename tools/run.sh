#!/usr/bin/env bash
# run.sh -- runs the demo from data/.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/../data"
exec "../$build/halmwind"
