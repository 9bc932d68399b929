#!/usr/bin/env bash
# Retakes the README's screenshots on a virtual display: the updater with the
# device ready and the sample update file loaded, the same with a file from a
# folder named in Japanese, and its About box.
#   scripts/screenshots.sh   (writes docs/dialog.png, docs/dialog-unicode.png and docs/about.png)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

bash scripts/install-deps.sh
configure_and_build host
configure_and_build windows
unset DISPLAY
start_display

work=/tmp/t6-screenshots  # a short path for the file box to show
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"; cleanup' EXIT
cp build/host/sample/t6-t10-sample-update.mid "$work/"
unicode_folder="$work/ファームウェア 更新 ✓"
mkdir -p "$unicode_folder"
cp build/host/sample/t6-t10-sample-update.mid "$unicode_folder/t6 – 版.mid"
# Wine reads its arguments in the locale's character set.
export LC_ALL=C.UTF-8
use_simulator "$work"
mkdir -p docs

wine_run build/windows/ui/t6update.exe 2>/dev/null &
updater=$!
operator wait-ready 60
operator click browse
operator open "$(windows_path "$work/t6-t10-sample-update.mid")"
operator wait-enabled start 10
window_screenshot "t6/t10 Update Program" docs/dialog.png
operator click browse
operator open "$(windows_path "$unicode_folder/t6 – 版.mid")"
operator wait-enabled start 10
window_screenshot "t6/t10 Update Program" docs/dialog-unicode.png
operator click about
operator wait-text about "About..." 5  # the box is up once the dialog's thread answers again
sleep 0.5
window_screenshot "About t6/t10 Update Program" docs/about.png
operator answer "About t6/t10 Update Program" >/dev/null
operator close
wait "$updater"
# Small files for the repository: no metadata, a palette where it is exact.
for png in docs/dialog.png docs/dialog-unicode.png docs/about.png; do
  convert "$png" -strip "PNG8:$png"
done
ls -l docs/dialog.png docs/dialog-unicode.png docs/about.png
