#!/usr/bin/env bash
# test_web.sh -- the headless browser check of dist/halmwind-web/; pictures into BUILD/shots/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-web}
node "$root/tests/web/check.js" "$root/dist/halmwind-web" "$build/shots"
