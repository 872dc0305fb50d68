#!/usr/bin/env bash
# The bash completion of vorkan-cli, loaded as bash-completion loads it, asked as bash asks
# it after a Tab, against the built program and against a program whose help has the shapes
# that options added later will have.
#   completion_test.sh COMPLETION_FILE VORKAN_CLI
# Exit status 77: bash-completion is not installed (the test is skipped).
set -uo pipefail
completion=$1
cli=$(realpath "$2")
framework=/usr/share/bash-completion/bash_completion
if [ ! -r "$framework" ]; then
    echo "skipped: $framework is missing (package bash-completion)"
    exit 77
fi
# shellcheck disable=SC1090
source "$framework"
# shellcheck disable=SC1090
source "$completion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir -p sub sab "two words"
touch a.txt s.txt "my file.txt"

failures=0
# complete LINE: the words bash would offer for the end of LINE, sorted, one per line.
complete_line()
{
    local line=$1
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vorkan_cli "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | LC_ALL=C sort
}
# expect LINE WORD...: exactly these words are offered.
expect()
{
    local line=$1
    shift
    local got want
    got=$(complete_line "$line")
    want=$(printf '%s\n' "$@" | sed '/^$/d' | LC_ALL=C sort)
    if [ "$got" != "$want" ]; then
        echo "FAIL: '$line'"
        echo "  offered: $(echo "$got" | tr '\n' ' ')"
        echo "  wanted:  $(echo "$want" | tr '\n' ' ')"
        failures=$((failures + 1))
    fi
}
# offers LINE WORD...: at least these words are offered.
offers()
{
    local line=$1 word
    shift
    local got
    got=$(complete_line "$line")
    for word in "$@"; do
        if ! grep -qxF -- "$word" <<<"$got"; then
            echo "FAIL: '$line' does not offer '$word' (offered: $(echo "$got" | tr '\n' ' '))"
            failures=$((failures + 1))
        fi
    done
}

# The options of the program itself; those given and those they exclude drop out.
expect "$cli --" --help --quick --report --json --map --slow --drive --dir --file --drives --version \
  --verify --verify-found --write-manifest --hash --device --mapfile --surface
expect "$cli --dr" --drive --drives
expect "$cli --quick --dir x --" --help --report --json --map --slow --verify --verify-found --write-manifest \
  --hash --surface
expect "$cli --drives --" --help --quick --report --json --map --slow --verify --verify-found --write-manifest \
  --hash --surface
expect "$cli --ver" --verify --verify-found --version

# Arguments: paths where an option takes one, directories for --dir, nothing for numbers.
expect "$cli --report " "a.txt" "s.txt" "my file.txt" "sub" "sab" "two words"
expect "$cli --json s" "s.txt" "sub" "sab"
expect "$cli --report=a" "a.txt"
expect "$cli --file my" "my file.txt"
expect "$cli --dir s" "sub" "sab"
expect "$cli --dir t" "two words"
expect "$cli --slow "
offers "$cli --drive " c
expect "$cli --quick --report a.txt --dir sub --m" --map

# Options of the same program later on: choices, a device, excluded pairs, a long name column
# with the description on the next line.
cat >later-cli <<'HELP'
#!/bin/sh
[ "$1" = --drives ] && { printf 'c: /\tpevný disk\tpřipravena\n'; exit 0; }
cat <<'TEXT'
Tests whether the data of a drive, a directory tree or a file can be read back.
Usage: vorkan-cli [OPTIONS]

Options:
  -h,--help                   Print this help message and exit
  --hash TEXT:{sha256,sha512,sha1,md5}
                              the hash of the manifest written
  --verify FILE Excludes: --write-manifest
                              check the files against the manifest FILE
  --write-manifest FILE Excludes: --verify
                              write a manifest of the files read to FILE
  --device DEVICE             scan the surface of a block device
  --surface                   read the device from front to back
  --retries N:POSITIVE        read a bad area again N times
  --mapfile FILE              keep the state of the scan in FILE
TEXT
HELP
chmod +x later-cli
later="$work/later-cli"
expect "$later --" --help --hash --verify --write-manifest --device --surface --retries --mapfile
expect "$later --hash " sha256 sha512 sha1 md5
expect "$later --hash sha5" sha512
expect "$later --verify a.txt --" --help --hash --device --surface --retries --mapfile
expect "$later --mapfile a" "a.txt"
expect "$later --device s" "s.txt" "sub" "sab"
expect "$later --retries "

# A program that cannot be run offers nothing, and says nothing.
expect "$work/missing-cli --"

if [ "$failures" -ne 0 ]; then
    echo "$failures completion(s) wrong"
    exit 1
fi
echo "every completion as expected"
