#!/usr/bin/env bash
# Builds everything and runs every test: natively under the sanitizers, the fuzz targets for a
# bounded time, then the real DLL under Wine. Exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh all
status=0
(cd build/native && ctest --output-on-failure) || status=1
(cd build/fuzz && ctest --output-on-failure -j2) || status=1
(cd build/win32 && ctest --output-on-failure -j2) || status=1
exit $status
