#!/usr/bin/env bash
# The install tree: `cmake --install` into a fresh prefix gives the programs, the program's data
# in share/kelto/ and a desktop integration that the freedesktop tools accept. The prefix lies
# outside the checkout and the programs run from a folder outside it, so nothing they find can
# come from the source or build tree.
#   check_install.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/kelto-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
mkdir "$work/elsewhere"
cd "$work/elsewhere"

data="$prefix/share/kelto"
for f in bin/kelto bin/kelto-cli; do
  [[ -x "$prefix/$f" ]] || fail "$f is missing or not executable"
done
for f in ReadMe.txt manual/index.html languages/English.ini languages/Deutsch.ini \
         languages/Español.ini languages/Français.ini \
         animations/Sample.kel; do
  [[ -s "$data/$f" ]] || fail "share/kelto/$f is missing"
done

# Every picture the manual shows is installed where it looks for it, the window pictures
# (made by scripts/screenshot) included.
while IFS= read -r src; do
  [[ -f "$data/manual/$src" ]] || fail "the manual shows $src, which is not installed"
done < <(grep -o 'src="[^"]*"' "$data/manual/index.html" | sed 's/^src="//; s/"$//')
for language in Deutsch Español Français; do
  cmp -s "$data/languages/$language.ini" "$source_dir/resources/languages/$language.ini" ||
    fail "the installed $language.ini differs from the source"
done

# The installed program finds its manual, read-me, languages and samples in the install tree.
paths=$("$prefix/bin/kelto-cli" paths) || fail "kelto-cli paths failed"
for key in manual readMe languages animations stickFigures; do
  value=$(printf '%s' "$paths" | grep -o "\"$key\":\"[^\"]*\"" | sed 's/^"[^"]*":"//; s/"$//')
  [[ "$value" == "$prefix/share/kelto/"* ]] || fail "$key is looked up in '$value', not in the install tree"
  [[ -e "$value" ]] || fail "$key: '$value' does not exist"
done

# Every example is readable by the installed command-line tool.
count=0
while IFS= read -r -d '' file; do
  "$prefix/bin/kelto-cli" info "$file" >/dev/null || fail "kelto-cli cannot read $file"
  count=$((count + 1))
done < <(find "$data/animations" "$data/stick figures" -type f -print0)
((count >= 7)) || fail "only $count example files installed"

# The English template is complete: one line per phrase key of the program's phrase list.
phrases=$(grep -c '^ *X(' "$source_dir/src/settings/phraselist.h")
keys=$(grep -c '^[A-Za-z0-9]*=' "$data/languages/English.ini")
((keys == phrases)) || fail "English.ini holds $keys keys, not $phrases"
for language in Deutsch Español Français; do
  keys=$(grep -c '^[A-Za-z0-9]*=' "$data/languages/$language.ini")
  ((keys == phrases)) || fail "$language.ini holds $keys keys, not $phrases"
done

# Desktop entry, icons and MIME types.
desktop="$prefix/share/applications/kelto.desktop"
[[ -f "$desktop" ]] || fail "the desktop file is missing"
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is not installed (scripts/deps)"
desktop-file-validate "$desktop" || fail "the desktop file does not validate"
grep -q '^Exec=kelto %f$' "$desktop" || fail "the desktop file does not start kelto with the file"

png_size() { # width and height from the PNG header
  od -An -tu1 -j16 -N8 "$1" | awk '{print $2*65536+$3*256+$4 "x" $6*65536+$7*256+$8}'
}
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/kelto.png"
  [[ -f "$icon" ]] || fail "icon ${size}x${size} is missing"
  [[ "$(png_size "$icon")" == "${size}x${size}" ]] || fail "icon ${size}x${size} has the size $(png_size "$icon")"
done
[[ -f "$prefix/share/icons/hicolor/scalable/apps/kelto.svg" ]] || fail "the scalable icon is missing"

command -v update-mime-database >/dev/null || fail "update-mime-database is not installed (scripts/deps)"
update-mime-database "$prefix/share/mime" >"$work/mime.log" 2>&1 ||
  fail "the MIME package does not load: $(cat "$work/mime.log")"
grep -q '^application/x-kelto-animation:\*\.kel$' "$prefix/share/mime/globs" || fail "*.kel is not registered"
grep -q '^application/x-kelto-figure:\*\.stk$' "$prefix/share/mime/globs" || fail "*.stk is not registered"
for type in application/x-kelto-animation application/x-kelto-figure; do
  grep -q "MimeType=.*$type;" "$desktop" || fail "the desktop file does not open $type"
done
echo "install tree complete: $count examples"
