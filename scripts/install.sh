#!/usr/bin/env bash
# Installs the built program for the current user, without root:
#   scripts/install.sh              build (when needed) and install, or update
#   scripts/install.sh --no-build   install what build/ holds, as it is
#   scripts/install.sh --uninstall  remove what the install put in place
#
# The program folder is $XDG_DATA_HOME/zorvana-directory (default
# ~/.local/share/zorvana-directory). It stays the user's: the book (DB/),
# the settings (zorvana-directory.ini) and the crash reports (Logs/) lie
# there beside the program, as the program expects, and neither an update
# nor an uninstall ever touches them. Beside it come a launcher entry in
# the applications menu, the icon and ~/.local/bin/zorvana-directory.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

APP_ID=zorvana-directory
BIN="$BUILD_DIR/bin"
BUILT_ICONS="$BUILD_DIR/share/icons/hicolor"
ICON_SIZES=(16 22 24 32 48 64 128 256)
# Marks the launcher script as ours, so a file of the same name that the
# user put there is neither replaced nor removed.
LAUNCHER_MARK="# Installed by scripts/install.sh of zorvana-directory"

: "${HOME:?HOME is not set}"
# The XDG base directory rules: a relative value is to be ignored.
DATA_HOME="${XDG_DATA_HOME:-}"
[[ "$DATA_HOME" == /* ]] || DATA_HOME="$HOME/.local/share"
APP_DIR="$DATA_HOME/$APP_ID"
DESKTOP_FILE="$DATA_HOME/applications/$APP_ID.desktop"
ICON_ROOT="$DATA_HOME/icons/hicolor"
LAUNCHER="$HOME/.local/bin/$APP_ID"
PROGRAM_FILES=("$APP_ID" "$APP_ID-createdb" Global.ini)

say() { printf '%s\n' "$*"; }
fail() { printf 'install.sh: %s\n' "$*" >&2; exit 1; }

# Puts a file in place in one step (a running program keeps its old file).
put_file() {  # source target mode
  local target="$2" temporary
  mkdir -p "$(dirname "$target")"
  temporary="$(dirname "$target")/.$(basename "$target").new.$$"
  cp "$1" "$temporary"
  chmod "$3" "$temporary"
  mv -f "$temporary" "$target"
}

# The same for text made here.
put_text() {  # target mode, text on stdin
  local target="$1" temporary
  mkdir -p "$(dirname "$target")"
  temporary="$(dirname "$target")/.$(basename "$target").new.$$"
  cat > "$temporary"
  chmod "$2" "$temporary"
  mv -f "$temporary" "$target"
}

# One argument of a desktop entry's Exec key: quoted, with the characters
# that the quoting reserves escaped, then escaped again as a string value.
desktop_exec_argument() {
  local value="$1"
  value="${value//\\/\\\\}"
  value="${value//\"/\\\"}"
  value="${value//\`/\\\`}"
  value="${value//\$/\\\$}"
  value="\"$value\""
  value="${value//\\/\\\\}"
  printf '%s' "${value//%/%%}"
}

# A file name inside single quotes for sh.
sh_quote() {
  local quote="'\\''"
  printf "'%s'" "${1//\'/$quote}"
}

is_our_launcher() { [ -f "$LAUNCHER" ] && grep -qxF "$LAUNCHER_MARK" "$LAUNCHER"; }

check_build() {
  local missing=()
  for f in "${PROGRAM_FILES[@]}" Help/DirectoryForm.rvf; do
    [ -e "$BIN/$f" ] || missing+=("$BIN/$f")
  done
  [ -e "$BUILT_ICONS/scalable/apps/$APP_ID.svg" ] || missing+=("$BUILT_ICONS/scalable/apps/$APP_ID.svg")
  [ ${#missing[@]} -eq 0 ] || fail "the build is incomplete, missing: ${missing[*]}"
}

install_program() {
  mkdir -p "$APP_DIR"
  put_file "$BIN/$APP_ID" "$APP_DIR/$APP_ID" 755
  put_file "$BIN/$APP_ID-createdb" "$APP_DIR/$APP_ID-createdb" 755
  put_file "$BIN/Global.ini" "$APP_DIR/Global.ini" 644
  # Help/ comes with the program and is replaced as a whole.
  rm -rf "$APP_DIR/.Help.new"
  cp -r "$BIN/Help" "$APP_DIR/.Help.new"
  rm -rf "$APP_DIR/Help"
  mv "$APP_DIR/.Help.new" "$APP_DIR/Help"
}

# The user's own files are made only when missing, never replaced.
install_user_files() {
  if [ ! -e "$APP_DIR/DB/DB.fdb" ]; then
    mkdir -p "$APP_DIR/DB"
    "$APP_DIR/$APP_ID-createdb" --sample "$APP_DIR/DB/DB.fdb"
  fi
  # The program writes its settings back only into an existing file; with
  # one in place the help page opens at the first start only.
  if [ ! -e "$APP_DIR/$APP_ID.ini" ]; then
    printf '[Main]\n' > "$APP_DIR/$APP_ID.ini"
  fi
}

install_icons() {
  put_file "$BUILT_ICONS/scalable/apps/$APP_ID.svg" "$ICON_ROOT/scalable/apps/$APP_ID.svg" 644
  for size in "${ICON_SIZES[@]}"; do
    put_file "$BUILT_ICONS/${size}x${size}/apps/$APP_ID.png" "$ICON_ROOT/${size}x${size}/apps/$APP_ID.png" 644
  done
  refresh_icon_cache
}

refresh_icon_cache() {
  # Only a cache that exists can be stale; none is made here.
  if [ -e "$ICON_ROOT/icon-theme.cache" ] && command -v gtk-update-icon-cache > /dev/null; then
    gtk-update-icon-cache -q -t "$ICON_ROOT" || true
  fi
  touch "$ICON_ROOT" 2> /dev/null || true
}

install_desktop_entry() {
  local exec_line program="$APP_DIR/$APP_ID"
  exec_line="$(desktop_exec_argument "$program")"
  # Values go through awk's environment and are put in literally, so no
  # character of a path can break the substitution.
  EXEC_LINE="$exec_line" TRY_EXEC="${program//\\/\\\\}" awk '
    function put(line, key, value,  at) {
      at = index(line, key)
      return at == 0 ? line : substr(line, 1, at - 1) value substr(line, at + length(key))
    }
    { line = put($0, "@EXEC@", ENVIRON["EXEC_LINE"]); print put(line, "@TRYEXEC@", ENVIRON["TRY_EXEC"]) }
  ' "$ROOT/data/$APP_ID.desktop.in" | put_text "$DESKTOP_FILE" 644
  if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$DESKTOP_FILE" || fail "the launcher entry $DESKTOP_FILE is not valid"
  fi
}

install_launcher() {
  if [ -e "$LAUNCHER" ] && ! is_our_launcher; then
    say "Kept $LAUNCHER, a file of your own; start the program from the menu or as $APP_DIR/$APP_ID."
    return 1
  fi
  put_text "$LAUNCHER" 755 << EOF
#!/bin/sh
$LAUNCHER_MARK
# Starts the program from its folder, where its book and settings lie.
exec $(sh_quote "$APP_DIR/$APP_ID") "\$@"
EOF
}

do_install() {
  check_build
  install_program
  install_user_files
  install_icons
  install_desktop_entry
  say "Installed into $APP_DIR"
  say "  menu entry: $DESKTOP_FILE"
  if install_launcher; then
    say "  command:    $LAUNCHER"
    case ":$PATH:" in
      *":$HOME/.local/bin:"*) ;;
      *) say "  ($HOME/.local/bin is not on PATH in this shell; the menu entry works regardless)" ;;
    esac
  fi
}

do_uninstall() {
  for f in "${PROGRAM_FILES[@]}"; do rm -f "$APP_DIR/$f"; done
  rm -rf "$APP_DIR/Help" "$APP_DIR/.Help.new"
  rm -f "$DESKTOP_FILE"
  rm -f "$ICON_ROOT/scalable/apps/$APP_ID.svg"
  for size in "${ICON_SIZES[@]}"; do rm -f "$ICON_ROOT/${size}x${size}/apps/$APP_ID.png"; done
  [ -d "$ICON_ROOT" ] && refresh_icon_cache
  if is_our_launcher; then rm -f "$LAUNCHER"; fi
  # An empty folder goes too; one with the book, settings or logs stays.
  rmdir "$APP_DIR" 2> /dev/null || true
  say "Removed the program from $APP_DIR"
  local kept=()
  [ -e "$APP_DIR/DB" ] && kept+=("the book (DB/)")
  [ -e "$APP_DIR/$APP_ID.ini" ] && kept+=("the settings ($APP_ID.ini)")
  [ -e "$APP_DIR/Logs" ] && kept+=("the crash reports (Logs/)")
  if [ ${#kept[@]} -gt 0 ]; then
    say "Kept there: $(IFS=,; echo "${kept[*]}" | sed 's/,/, /g')."
  fi
}

case "${1:-}" in
  "")
    install_packages
    build
    do_install
    ;;
  --no-build) do_install ;;
  --uninstall) do_uninstall ;;
  *) fail "unknown option $1 (use --no-build or --uninstall)" ;;
esac
