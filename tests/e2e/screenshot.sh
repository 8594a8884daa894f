#!/usr/bin/env bash
# screenshot.sh [BUILD_DIR]
# Builds the product's test setup and saves a picture of its language dialog
# as a French user sees it under Wine as docs/french-dialog.png. BUILD_DIR is
# a configured Windows build (default: build/windows).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
cmake --build "$build" --target setup_product e2e_driver
bin=$build/tests/e2e
export E2E_BIN=$bin E2E_PACKAGES=$bin/packages E2E_SOURCES=$root/tests/packages
export E2E_WORK=$bin/work E2E_SCREENSHOT=$root/docs/french-dialog.png
mkdir -p "$root/docs"
[ -d "$E2E_WORK/template" ] || "$root/tests/e2e/scenario.sh" make-template
xvfb-run -a -s "-screen 0 1024x768x24" "$root/tests/e2e/scenario.sh" screenshot
