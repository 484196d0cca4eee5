#!/usr/bin/env bash
# Installs, builds, makes a sample reference book when none exists, and starts the program.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages
build
BIN="$BUILD_DIR/bin"
if [ ! -e "$BIN/DB/DB.fdb" ]; then
  mkdir -p "$BIN/DB"
  "$BIN/zorvana-directory-createdb" --sample "$BIN/DB/DB.fdb"
fi
exec "$BIN/zorvana-directory"
