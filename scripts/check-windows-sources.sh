#!/usr/bin/env bash
# Usage: check-windows-sources.sh BUILD_DIR  (run by run-windows-tests.sh after
# the Qt-free Windows build in BUILD_DIR; needs that build's configure step).
#
# There is no Qt for Windows on Debian, so the Qt program cannot be linked
# here; this checks the next best thing, so that a POSIX header or call, or a
# construct only GCC on Linux takes, fails CI instead of a user's build:
#  1. every program source outside platform/ compiles for 64-bit Windows with
#     mingw-w64 (-fsyntax-only): the same warning flags, language standard and
#     defines the CMake Windows build gives our code, plus those Qt's CMake
#     files add on Windows; Debian's Qt 5 headers as system headers (they
#     differ from a Windows Qt's only in their build configuration); the moc
#     output of every class that needs it, generated here with the Windows
#     compiler's predefined macros (as CMake's automoc does). The files that
#     the Qt-free Windows build compiled for real (platform/ with its Windows
#     backend, simlink/, tools/sim/) are not compiled again. The compiles go
#     through ccache, which keeps -fsyntax-only passes (and their warnings)
#     like any other: an unchanged file is not parsed again.
#  2. the version resource, filled by that CMake configure step, compiles with
#     mingw-w64's windres;
#  3. no file outside platform/ includes a POSIX or Win32 header, which the
#     compile cannot find whenever mingw-w64 has the header (windows.h,
#     unistd.h, pthread.h, ...). See the scan below for how the list is made.
# Every failure names the file; all files are checked before failing.
# One file can be rerun by hand with the flags file this writes:
#   x86_64-w64-mingw32-g++-posix @BUILD_DIR/windows-sources/flags.rsp -fsyntax-only app/main.cpp
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: $0 BUILD_DIR}
cxx=x86_64-w64-mingw32-g++-posix
work=$(cd "$build" && pwd)/windows-sources
qt=/usr/include/x86_64-linux-gnu/qt5
moc=/usr/lib/qt5/bin/moc
# The program's folders besides platform/, as CMakeLists.txt globs them.
folders=(app ui server model web simlink tools)
status=0

rm -rf "$work"
mkdir -p "$work/include" "$work/moc"

# Third-party C headers the program includes live in /usr/include, which must
# not be on the path (glibc's headers would shadow mingw-w64's): copy just
# those headers into a folder of our own.
cp /usr/include/qrencode.h "$work/include/"

# What the Qt-free Windows build compiled (its compile_commands.json): the
# files, and the warnings (-W...), standard (-std=) and defines (-D) it gave
# one of our own files, so that the flags follow CMakeLists.txt.
python3 -c '
import json, shlex, sys
entries = json.load(open(sys.argv[1] + "/compile_commands.json"))
with open(sys.argv[2] + "/built-for-real.txt", "w") as out:
    for entry in entries:
        out.write(entry["file"] + "\n")
with open(sys.argv[2] + "/cmake-flags.txt", "w") as out:
    for entry in entries:
        if "/simlink/" in entry["file"]:
            for arg in shlex.split(entry["command"]):
                if arg.startswith(("-W", "-std=", "-D")):
                    out.write(arg + "\n")
            break
' "$build" "$work"
# Then the defines Qt5's CMake files add to a release build, and the headers.
{
    cat "$work/cmake-flags.txt"
    printf '%s\n' -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DQT_NETWORK_LIB -DQT_NO_DEBUG
    printf '%s\n' "-I$PWD" "-I$work/moc" "-isystem" "$work/include"
    for module in "" /QtCore /QtGui /QtWidgets /QtNetwork; do
        printf '%s\n' "-isystem" "$qt$module"
    done
} > "$work/flags.rsp"
if ! grep -q -- '^-Werror$' "$work/flags.rsp"; then
    echo "no warning flags found in $build/compile_commands.json" >&2
    exit 1
fi

# moc, as automoc runs it: with the target compiler's predefined macros and the
# same defines and include folders. A header's output is compiled on its own
# (moc_X.cpp); a source file's (X.moc) is included by that file.
"$cxx" -std=c++17 -dM -E -x c++ /dev/null > "$work/moc/moc_predefs.h"
mapfile -t moc_inputs < <(grep -rlE --include='*.h' --include='*.cpp' \
    '\<Q_(OBJECT|GADGET|NAMESPACE)\>' "${folders[@]}" | sort)
moc_flags=(--include "$work/moc/moc_predefs.h" -DWIN32)
mapfile -t defines_and_paths < <(grep -E '^-(D|I)' "$work/flags.rsp")
for input in "${moc_inputs[@]}"; do
    name=$(basename "$input")
    case "$input" in
        *.h) output=$work/moc/moc_${name%.h}.cpp ;;
        *.cpp) output=$work/moc/${name%.cpp}.moc ;;
    esac
    if ! "$moc" "${moc_flags[@]}" "${defines_and_paths[@]}" -I"$qt" "$input" -o "$output"; then
        echo "FAILED moc for Windows: $input" >&2
        status=1
    fi
done

# 1. Compile, a file per core at a time. Each file's messages are printed
# together, then a line naming it; xargs carries on and exits non-zero if any
# failed.
echo "=== Program sources, compiled for Windows (syntax only)"
sources=$({ find "${folders[@]}" -name '*.cpp' -printf "$PWD/%p\n" \
        | grep -vxF -f "$work/built-for-real.txt" | sed "s|^$PWD/||"
    find "$work/moc" -name 'moc_*.cpp'; } | sort)
echo "$sources" | wc -l | xargs printf '%s files\n'
# shellcheck disable=SC2016  # expanded by the inner shell
if ! echo "$sources" | xargs -d '\n' -P"$(nproc)" -n1 sh -c '
    if ! out=$(ccache "$0" @"$1" -fsyntax-only "$2" 2>&1); then
        printf "%s\nFAILED to compile for Windows: %s\n" "$out" "$2" >&2
        exit 1
    fi
    [ -z "$out" ] || printf "%s\n" "$out"' "$cxx" "$work/flags.rsp"; then
    status=1
fi

# 2. The version resource, as the CMake Windows build compiles it.
echo "=== Version resource (windres)"
if ! x86_64-w64-mingw32-windres -O coff "$build/pitlink.rc" "$work/pitlink.res.obj"; then
    echo "FAILED to compile the version resource: app/pitlink.rc.in (filled: $build/pitlink.rc)" >&2
    status=1
fi

# 3. The headers only platform/ may include. Not a hand-kept list: every header
# that Debian's C library and Linux packages ship (libc6-dev, linux-libc-dev:
# unistd.h, sys/*, pthread.h, netinet/*, linux/*, ...) and every header of
# mingw-w64's Windows SDK (mingw-w64-x86-64-dev: windows.h, winsock2.h, io.h,
# ...), less the headers of standard C (stdio.h, ...), plus Qt's own gate to
# windows.h. Names compare in lower case (Windows.h is windows.h); a quoted
# include that names a file of our own (next to the includer or from the
# source root) is ours, not the system's.
echo "=== POSIX and Win32 headers outside platform/"
standard_c=(assert complex ctype errno fenv float inttypes iso646 limits locale math
    setjmp signal stdalign stdarg stdatomic stdbool stddef stdint stdio stdlib
    stdnoreturn string tgmath threads time uchar wchar wctype)
{
    dpkg -L libc6-dev linux-libc-dev | sed -n 's|^/usr/include/\(x86_64-linux-gnu/\)\{0,1\}\(.*\.h\)$|\2|p'
    dpkg -L mingw-w64-x86-64-dev | sed -n 's|^/usr/x86_64-w64-mingw32/include/\(.*\.h\)$|\1|p'
    printf '%s\n' qt_windows.h qtcore/qt_windows.h
} | tr '[:upper:]' '[:lower:]' | sort -u \
    | grep -vxF -f <(printf '%s.h\n' "${standard_c[@]}") > "$work/os-headers.txt"
# file:line:header for every include of a listed header.
matches=$(grep -rHnE --include='*.cpp' --include='*.h' \
        '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "${folders[@]}" \
    | awk -v list="$work/os-headers.txt" '
        BEGIN { while ((getline name < list) > 0) listed[name] = 1 }
        {
            split($0, at, ":")
            match($0, /[<"][^>"]+[>"]/)
            header = substr($0, RSTART, RLENGTH)
            name = tolower(substr(header, 2, length(header) - 2))
            gsub(/\\/, "/", name)
            if (name in listed)
                print at[1] ":" at[2] ":" header
        }')
while IFS=: read -r file line header; do
    [ -n "$file" ] || continue
    if [[ $header == \"* ]]; then
        own=${header:1:-1}
        if [ -f "$(dirname "$file")/$own" ] || [ -f "$own" ]; then
            continue
        fi
    fi
    echo "FAILED: $file:$line includes $header, a POSIX or Win32 header; only platform/ may" >&2
    status=1
done <<< "$matches"
echo "$(wc -l < "$work/os-headers.txt") headers checked"

exit $status
