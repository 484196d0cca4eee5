#!/usr/bin/env bash
# Installs, builds and runs every test; exits non-zero on any failure.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages
build
cd "$BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
