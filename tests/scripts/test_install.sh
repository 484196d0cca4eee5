#!/usr/bin/env bash
# scripts/install.sh into a temporary home (with a blank in its path): what
# it puts where, that the launcher entry is valid and its Exec line starts
# the program (offscreen and on a real X screen, ended by SIGTERM), that an
# update keeps the user's book, settings and logs, that uninstall leaves
# exactly those, and that XDG_DATA_HOME is followed.
#   test_install.sh SOURCE_DIR BUILD_DIR
set -uo pipefail

SOURCE_DIR="$1"
BUILD_DIR="$2"
INSTALL="$SOURCE_DIR/scripts/install.sh"
APP_ID=zorvana-directory
FAILURES=0

WORK="$(mktemp -d "${TMPDIR:-/tmp}/zorvana install XXXXXX")"
cleanup() { rm -rf "$WORK"; }
trap cleanup EXIT
export FIREBIRD_LOCK="$WORK/lock"
mkdir -p "$FIREBIRD_LOCK"

check() {  # description, command...
  local what="$1"
  shift
  if "$@"; then
    echo "ok   - $what"
  else
    echo "FAIL - $what"
    FAILURES=$((FAILURES + 1))
  fi
}

# Runs install.sh for a home; the remaining arguments go to it.
run_install() {  # home data_home(or "") args...
  local home="$1" data_home="$2"
  shift 2
  if [ -n "$data_home" ]; then
    env HOME="$home" XDG_DATA_HOME="$data_home" BUILD_DIR="$BUILD_DIR" "$INSTALL" "$@"
  else
    env -u XDG_DATA_HOME HOME="$home" BUILD_DIR="$BUILD_DIR" "$INSTALL" "$@"
  fi
}

# Width and height of a PNG file from its header.
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", ($1*16777216)+($2*65536)+($3*256)+$4, ($5*16777216)+($6*65536)+($7*256)+$8 }'
}

desktop_value() {  # file key
  sed -n "s/^$2=//p" "$1" | head -n 1
}

# The Exec line as the desktop runs it: desktop string escapes first, then
# the quoting, which has the rules of sh's double quotes.
exec_arguments() {  # file
  local line
  line="$(desktop_value "$1" Exec)"
  line="${line//\\\\/\\}"
  eval "EXEC_ARGS=($line)"
}

sql() {  # database, statements on stdin
  isql-fb -q -user SYSDBA -password unused "$1"
}

count_rows() {  # database
  printf 'SET LIST ON;\nSELECT COUNT(*) AS n FROM directory;\n' | sql "$1" | awk '/^N /{ print $2 }'
}

# Starts the Exec line, waits until the program holds its book, gives the
# window a moment to show, and ends it with SIGTERM; echoes the exit code.
run_offscreen_and_end() {  # home
  QT_QPA_PLATFORM=offscreen HOME="$1" "${EXEC_ARGS[@]}" > "$WORK/offscreen.log" 2>&1 &
  local pid=$!
  for _ in $(seq 150); do
    ls -l "/proc/$pid/fd" 2> /dev/null | grep -q 'DB\.fdb' && break
    sleep 0.2
  done
  sleep 2
  kill -TERM "$pid"
  # An end that never comes is a failure, not a hang.
  for _ in $(seq 300); do
    kill -0 "$pid" 2> /dev/null || break
    sleep 0.2
  done
  kill -KILL "$pid" 2> /dev/null
  wait "$pid"
  echo $?
}

# On a real X screen: the main window appears with the window class that
# the launcher entry names, and SIGTERM ends the program in order.
run_on_x_screen() {  # home wm_class
  cat > "$WORK/x.sh" << 'EOF'
wm_class="$1"
shift
"$@" > "$XLOG" 2>&1 &
pid=$!
found=no
for _ in $(seq 150); do
  if xwininfo -root -tree 2> /dev/null | grep -F "\"Справочник" | grep -qF "(\"$wm_class\" \"$wm_class\")"; then
    found=yes
    break
  fi
  sleep 0.2
done
kill -TERM "$pid"
wait "$pid"
echo "$found $?"
EOF
  XLOG="$WORK/x.log" QT_QPA_PLATFORM=xcb HOME="$1" timeout 120 \
    xvfb-run -a -s "-screen 0 1280x1024x24" bash "$WORK/x.sh" "$2" "${EXEC_ARGS[@]}"
}

# ---------------------------------------------------------------- install
HOME1="$WORK/home one"
mkdir -p "$HOME1"
DATA1="$HOME1/.local/share"
APP1="$DATA1/$APP_ID"
DESKTOP1="$DATA1/applications/$APP_ID.desktop"
BOOK1="$APP1/DB/DB.fdb"
SETTINGS1="$APP1/$APP_ID.ini"

check "install runs" run_install "$HOME1" "" --no-build
for f in "$APP_ID" "$APP_ID-createdb" Global.ini Help/DirectoryForm.rvf DB/DB.fdb "$APP_ID.ini"; do
  check "installed $f" test -e "$APP1/$f"
done
check "the program is executable" test -x "$APP1/$APP_ID"
check "the program folder stays writable" test -w "$APP1"
check "a sample book was made" test "$(count_rows "$BOOK1")" -gt 0
check "the settings file holds the section header" grep -qx '\[Main\]' "$SETTINGS1"

check "the launcher entry is valid" desktop-file-validate "$DESKTOP1"
check "no hints either" test -z "$(desktop-file-validate "$DESKTOP1" 2>&1)"
check "Name[ru]" test "$(desktop_value "$DESKTOP1" 'Name\[ru\]')" = "Справочник"
check "plain Name" test -n "$(desktop_value "$DESKTOP1" Name)"
check "Comment[ru]" test -n "$(desktop_value "$DESKTOP1" 'Comment\[ru\]')"
check "plain Comment" test -n "$(desktop_value "$DESKTOP1" Comment)"
check "Categories" test -n "$(desktop_value "$DESKTOP1" Categories)"
check "Icon names the installed icon" test "$(desktop_value "$DESKTOP1" Icon)" = "$APP_ID"
WM_CLASS="$(desktop_value "$DESKTOP1" StartupWMClass)"
check "StartupWMClass" test "$WM_CLASS" = "$APP_ID"

ICONS1="$DATA1/icons/hicolor"
check "scalable icon" grep -q '<svg' "$ICONS1/scalable/apps/$APP_ID.svg"
for size in 16 22 24 32 48 64 128 256; do
  check "icon ${size}x${size}" test "$(png_size "$ICONS1/${size}x${size}/apps/$APP_ID.png")" = "${size}x${size}"
done

LAUNCHER1="$HOME1/.local/bin/$APP_ID"
check "the command launcher is executable" test -x "$LAUNCHER1"
check "the command launcher starts the program from its folder" grep -qF "'$APP1/$APP_ID'" "$LAUNCHER1"

exec_arguments "$DESKTOP1"
check "the Exec line names the installed program" test "${EXEC_ARGS[*]}" = "$APP1/$APP_ID"
check "the Exec line starts the program and SIGTERM ends it in order" \
  test "$(run_offscreen_and_end "$HOME1")" = 0
check "the window was shown (its first showing cleared IsFirstStart)" grep -qx 'IsFirstStart=0' "$SETTINGS1"
X_RESULT="$(run_on_x_screen "$HOME1" "$WM_CLASS")"
check "on an X screen the window carries the class StartupWMClass names, and SIGTERM ends it" \
  test "$X_RESULT" = "yes 0"
[ "$X_RESULT" = "yes 0" ] || cat "$WORK/x.log"

# ---------------------------------------------------------------- update
ROWS_BEFORE="$(count_rows "$BOOK1")"
printf "INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags)\n\
VALUES (GEN_ID(GEN_DIRECTORY_ID, 1), 0, 999900, 'Added between installs', '', 0, 0);\nCOMMIT;\n" |
  sql "$BOOK1"
check "a row was added" test "$(count_rows "$BOOK1")" = "$((ROWS_BEFORE + 1))"
printf '[Main]\r\nFontSize=14\r\n; the user'\''s own note\r\n' > "$SETTINGS1"
cp "$SETTINGS1" "$WORK/settings.before"
mkdir -p "$APP1/Logs/Exceptions"
echo "report" > "$APP1/Logs/Exceptions/2024.01.02-03.04.05.log"
echo "; stale" >> "$APP1/Global.ini"
rm "$APP1/Help/License.rvf"

check "reinstall runs" run_install "$HOME1" "" --no-build
check "the book keeps the added row" test "$(count_rows "$BOOK1")" = "$((ROWS_BEFORE + 1))"
check "the added row is the one written" \
  bash -c "printf 'SET LIST ON;\nSELECT title FROM directory WHERE order_position = 999900;\n' |
    isql-fb -q -user SYSDBA -password unused '$BOOK1' | grep -q 'Added between installs'"
check "the settings are untouched" cmp -s "$SETTINGS1" "$WORK/settings.before"
check "the logs are untouched" test -f "$APP1/Logs/Exceptions/2024.01.02-03.04.05.log"
check "the program's files are updated" cmp -s "$APP1/Global.ini" "$BUILD_DIR/bin/Global.ini"
check "the help documents are complete again" test -f "$APP1/Help/License.rvf"
check "no temporary files are left" test -z "$(find "$DATA1" "$HOME1/.local/bin" -name '.*.new*')"

# ---------------------------------------------------------------- uninstall
check "uninstall runs" run_install "$HOME1" "" --uninstall
for f in "$APP_ID" "$APP_ID-createdb" Global.ini Help; do
  check "removed $f" test ! -e "$APP1/$f"
done
check "removed the launcher entry" test ! -e "$DESKTOP1"
check "removed the command launcher" test ! -e "$LAUNCHER1"
check "removed the icons" test -z "$(find "$ICONS1" -name "$APP_ID.*")"
check "kept the book" test "$(count_rows "$BOOK1")" = "$((ROWS_BEFORE + 1))"
check "kept the settings" cmp -s "$SETTINGS1" "$WORK/settings.before"
check "kept the logs" test -f "$APP1/Logs/Exceptions/2024.01.02-03.04.05.log"
check "uninstall twice does no harm" run_install "$HOME1" "" --uninstall

# ---------------------------------------------------------------- XDG_DATA_HOME
HOME2="$WORK/home two"
DATA2="$WORK/data two"
mkdir -p "$HOME2/.local/bin"
echo "#!/bin/sh" > "$HOME2/.local/bin/$APP_ID"  # the user's own file of that name
check "install with XDG_DATA_HOME runs" run_install "$HOME2" "$DATA2" --no-build
check "the program goes to XDG_DATA_HOME" test -x "$DATA2/$APP_ID/$APP_ID"
check "the launcher entry goes to XDG_DATA_HOME" desktop-file-validate "$DATA2/applications/$APP_ID.desktop"
check "the icons go to XDG_DATA_HOME" test -f "$DATA2/icons/hicolor/scalable/apps/$APP_ID.svg"
check "nothing goes to ~/.local/share" test ! -e "$HOME2/.local/share"
exec_arguments "$DATA2/applications/$APP_ID.desktop"
check "the Exec line follows XDG_DATA_HOME" test "${EXEC_ARGS[*]}" = "$DATA2/$APP_ID/$APP_ID"
check "a command file of the user's own is not replaced" test "$(cat "$HOME2/.local/bin/$APP_ID")" = "#!/bin/sh"
check "uninstall with XDG_DATA_HOME runs" run_install "$HOME2" "$DATA2" --uninstall
check "nor is it removed" test -f "$HOME2/.local/bin/$APP_ID"
check "only the book and settings stay" \
  test "$(cd "$DATA2/$APP_ID" && find . -mindepth 1 | sort | tr '\n' ' ')" = "./DB ./DB/DB.fdb ./$APP_ID.ini "

echo "$FAILURES failure(s)"
[ "$FAILURES" -eq 0 ]
