#!/bin/sh
# Starts the desktop program under a virtual X display and saves each dialog as a PNG, to look
# at the layout and the Japanese texts. The main dialog shows a folder with a few files.
# usage: tests/gui/screenshots.sh BUILD_DIR [OUTPUT_DIR]   (default BUILD_DIR/screenshots)
set -eu
build=$(cd "${1:?usage: screenshots.sh BUILD_DIR [OUTPUT_DIR]}" && pwd)
out=${2:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/project/NewFolder"
for name in display.c Util.c sample_long_file_name.c; do
    printf 'int x;\r\n' >"$work/project/$name"
done
# Untidy, with a comment in code page 932 ("日本語のコメント"), for the preview.
printf 'int main(void)   \n{\n// \223\372\226\173\214\352\202\314\203\122\203\201\203\223\203\147\n\n\nreturn 0;\n}\n' \
    >"$work/project/main.c"
printf '%s\r\n' "$work/project" >"$work/SRCTDY.INI"

cd "$work"
SRCTDY_SCREENSHOT_DIR="$out" xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
    "$build/app/srctdy"
echo "screenshots in $out:"
ls "$out"
