#!/usr/bin/env bash
# Checks the Debian package as a user gets it: unpacks it into a scratch root and runs what it
# installed there. Usage: check_package.sh BUILD_FOLDER (the folder `make package` built in).
# Exits non-zero on the first fault, naming it.
set -euo pipefail

build=${1:?usage: check_package.sh BUILD_FOLDER}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
deb=$(ls "$build"/srctdy_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "no srctdy_*.deb in $build" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr

fail() { echo "check_package: $*" >&2; exit 1; }

# What the package installs.
for path in bin/srctdy-cli bin/srctdy \
    share/applications/srctdy.desktop \
    share/metainfo/org.example.srctdy.metainfo.xml \
    share/man/man1/srctdy-cli.1.gz share/man/man1/srctdy.1.gz \
    share/man/ja/man1/srctdy-cli.1.gz share/man/ja/man1/srctdy.1.gz \
    share/bash-completion/completions/srctdy-cli \
    share/locale/ja/LC_MESSAGES/srctdy.mo \
    share/doc/srctdy/copyright share/doc/srctdy/changelog.gz; do
    [ -f "$usr/$path" ] || fail "missing /usr/$path"
done
for size in 16 22 24 32 48 64 128 256; do
    icon=$usr/share/icons/hicolor/${size}x$size/apps/srctdy.png
    file "$icon" | grep -q "PNG image data, $size x $size" || fail "icon ${size}px: $(file "$icon")"
done
dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "no shared-library dependencies"
dpkg-deb -f "$deb" Maintainer | grep -qx 'SRCTDY developers <srctdy@example.org>' ||
    fail "maintainer: $(dpkg-deb -f "$deb" Maintainer)"

# The installed command line converts a file, and speaks the locale's language from the
# catalogue it installed.
cli=$usr/bin/srctdy-cli
printf '  int a;\n\n\n{\nb();\n}\n' > "$scratch/a.c"
expected=$(printf 'int a;\r\n\r\n{\r\n    b();\r\n}\r\n' | od -c)
actual=$(LC_ALL=C "$cli" --stdout "$scratch/a.c" | od -c)
[ "$actual" = "$expected" ] || fail "converted bytes differ:"$'\n'"$actual"
[ "$(env -u LC_ALL -u LANGUAGE LANG=C "$cli" --help | head -n 1)" = \
    'Usage: srctdy-cli [OPTION]... PATH...' ] || fail "English help"
[ "$(env -u LC_ALL -u LANGUAGE LANG=ja_JP.UTF-8 "$cli" --help | head -n 1)" = \
    '使い方: srctdy-cli [オプション]... パス...' ] || fail "Japanese help (ja_JP.UTF-8 locale?)"

# man finds the installed pages, in the locale's language.
page() { env -u LC_ALL -u LANGUAGE LANG="$1" MANPATH="$usr/share/man" MANWIDTH=80 \
    man "$2" 2>/dev/null; }
page C srctdy-cli | grep -q 'tidy C and C++ source files in bulk' || fail "man srctdy-cli"
page ja_JP.UTF-8 srctdy-cli | grep -q '一括して整形する' || fail "man srctdy-cli (Japanese)"
page C srctdy | grep -q 'desktop program' || fail "man srctdy"

# The pre-commit framework's hooks (.pre-commit-hooks.yaml), run by the framework itself on a
# scratch repository, with the installed srctdy-cli on the PATH.
export PATH="$usr/bin:$PATH" PRE_COMMIT_HOME=$scratch/pre-commit
export GIT_AUTHOR_NAME=check GIT_AUTHOR_EMAIL=check@example.org
export GIT_COMMITTER_NAME=check GIT_COMMITTER_EMAIL=check@example.org
hook() { (cd "$scratch/repo" && pre-commit try-repo "$source_dir" "$1" --files a.c notes.txt \
    > "$scratch/hook.log" 2>&1); }
mkdir "$scratch/repo"
git -C "$scratch/repo" init -q
printf '  x;\n' > "$scratch/repo/a.c"
printf '  not C\n' > "$scratch/repo/notes.txt"
git -C "$scratch/repo" add a.c notes.txt
! hook srctdy-check || fail "check hook passed an untidy file"
grep -q '^+x;' "$scratch/hook.log" || fail "check hook shows no diff: $(cat "$scratch/hook.log")"
! hook srctdy-fix || fail "fix hook did not report its change"
[ "$(cat "$scratch/repo/a.c")" = $'x;\r' ] || fail "fix hook did not tidy a.c"
[ "$(cat "$scratch/repo/notes.txt")" = '  not C' ] || fail "fix hook touched a text file"
hook srctdy-check || fail "check hook refused a tidy file: $(cat "$scratch/hook.log")"

# Bash completion: option names from the program's help, and the values of a list option.
complete_words() {
    bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        _srctdy_cli "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" 2>/dev/null
        echo "${COMPREPLY[*]}"' _ "$usr/share/bash-completion/completions/srctdy-cli" "$@"
}
if [ -f /usr/share/bash-completion/bash_completion ]; then
    [ "$(complete_words srctdy-cli --no-t)" = "--no-trim" ] || fail "completion of --no-t"
    [ "$(complete_words srctdy-cli --eol=)" = "crlf lf keep" ] || fail "completion of --eol="
fi

# Debian's checks: no error (warnings are listed).
if command -v lintian > /dev/null; then
    lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
fi
echo "check_package: $(basename "$deb") is fine"
