#!/usr/bin/env bash
# check_manpage.sh QUARNET MANDIR: `man quarnet`, as man shows it from MANDIR
# (a man/ folder holding man1/quarnet.1.gz), against what the executable
# itself says. Every option `quarnet --help` lists must be an entry of
# OPTIONS, and every entry there an option --help lists; every route --help
# lists an entry of ROUTES; every QUARNET_ variable the executable names an
# entry of ENVIRONMENT. Exits 77 (skipped) where man is not installed.
set -euo pipefail
quarnet=$1 mandir=$2
if ! command -v man >/dev/null; then
    echo "manpage: man is not installed (Debian package man-db): not checked"
    exit 77
fi
help=$(QT_QPA_PLATFORM=offscreen "$quarnet" --help)
# In a UTF-8 locale, so that a hyphen groff set as U+2010 fails to match
# "-", as it would fail to paste into a shell. Wide enough that no entry's
# tag wraps. man-db's sandbox is left out: it cannot start in every
# container or chroot, and the page is our own.
page=$(MANPATH=$mandir MANWIDTH=200 LC_ALL=C.UTF-8 MAN_DISABLE_SECCOMP=1 man quarnet)
status=0
fail() { echo "manpage: $*" >&2; status=1; }

# section NAME: the rendered lines under that heading.
section() { awk -v name="$1" '/^[^ ]/ { on = ($0 == name); next } on' <<<"$page"; }
# entries: the tags of a section's entries, which groff sets at the
# section's indent (7 columns), their text further in.
entries() { section "$1" | grep -E '^ {7}[^ ]' | sed -E 's/^ {7}//'; }
# has_entry SECTION WORD: an entry of SECTION starts with WORD, alone or
# followed by a space.
has_entry() { entries "$1" | awk -v word="$2" 'index($0, word) == 1 && (length($0) == length(word) || substr($0, length(word) + 1, 1) == " ") { found = 1 } END { exit !found }'; }

[ -n "$(section NAME)" ] || fail "man quarnet shows no NAME section: $(head -c 200 <<<"$page")"

# Qt sets each option's forms in a column of their own, two spaces in;
# their text follows after two spaces or more, or on lines indented further.
help_options=$(sed -n '/^Options:/,/^$/p' <<<"$help" | grep -E '^  -' | sed -E 's/^  //; s/  .*//' |
    grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' | tr -d ' ,' | sort -u)
[ -n "$help_options" ] || fail "$quarnet --help lists no options: $help"
page_options=$(entries OPTIONS | grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' | tr -d ' ,' | sort -u)
for option in $help_options; do
    grep -qxF -- "$option" <<<"$page_options" || fail "$option is in quarnet --help but is no entry of the page's OPTIONS"
done
for option in $page_options; do
    grep -qxF -- "$option" <<<"$help_options" || fail "$option is an entry of the page's OPTIONS but quarnet --help does not list it"
done

help_routes=$(sed -n '/^Routes/,/^$/p' <<<"$help" | grep -E '^  [^ ]' | sed -E 's/^  //; s/ .*//')
[ -n "$help_routes" ] || fail "$quarnet --help lists no routes: $help"
while read -r route; do
    has_entry ROUTES "$route" || fail "route $route is in quarnet --help but is no entry of the page's ROUTES"
done <<<"$help_routes"

variables=$(strings "$quarnet" | grep -oE 'QUARNET_[A-Z_]*[A-Z]' | sort -u)
[ -n "$variables" ] || fail "$quarnet names no QUARNET_ variable"
for variable in $variables; do
    has_entry ENVIRONMENT "$variable" || fail "$variable is named by quarnet but is no entry of the page's ENVIRONMENT"
done

[ $status -eq 0 ] && echo "manpage: man quarnet has the $(wc -w <<<"$help_options") options, $(wc -l <<<"$help_routes") routes and $(wc -w <<<"$variables") variables quarnet names"
exit $status
