#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a developer gets there: the library
# exports exactly the functions pella.h declares; the installed tool runs from the prefix
# (relative RUNPATH); two small consumers, one built with pkg-config and one with
# find_package(Pella), echo a `pella serve` started from the prefix; the manual pages are there;
# CPack makes the three .deb packages with the expected files.
# Usage: install_test.sh BUILD_FOLDER SOURCE_FOLDER
set -euo pipefail
build=$1 source=$2
work=$(mktemp -d)
server=
cleanup() { [ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$(ls -d "$prefix"/lib*/ | head -1)

# Exports: exactly the header's functions.
sed -n 's/^PELLA_API [^(]*[ *]\([A-Za-z_][A-Za-z_0-9]*\)(.*/\1/p' "$prefix/include/pella.h" | sort >"$work/declared"
nm -D --defined-only "$lib/libpella.so" | awk '{print $3}' | sort >"$work/exported"
diff "$work/declared" "$work/exported" || fail "the exported symbols differ from the header's functions"
[ "$(wc -l <"$work/declared")" -gt 50 ] || fail "too few declarations read from pella.h"
[ -L "$lib/libpella.so" ] && [ -L "$lib/libpella.so.0" ] || fail "soname links missing"

# The installed tool finds the installed library by its relative RUNPATH.
readelf -d "$prefix/bin/pella" | grep -q 'RUNPATH.*\$ORIGIN/\.\./lib' || fail "RUNPATH is not relative"
[ "$(env -u LD_LIBRARY_PATH "$prefix/bin/pella" version)" = "$(sed -n 's/^#define PELLA_VERSION "\(.*\)"/\1/p' "$prefix/include/pella.h")" ] ||
  fail "pella version does not print the header's version"
# The installed library finds the HTJ2K encoder module beside it.
ct=$(/usr/bin/python3 -c 'from pydicom.data import get_testdata_file; print(get_testdata_file("CT_small.dcm"))')
env -u LD_LIBRARY_PATH "$prefix/bin/pella" convert "$ct" "$work/htj2k.dcm" htj2k-lossless ||
  fail "the installed tool cannot encode HTJ2K"
for page in pella pella-echo pella-serve pella-store; do
  [ -s "$prefix/share/man/man1/$page.1" ] || fail "manual page $page.1 missing"
done

# A storage server from the prefix, on a free port.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$prefix/bin/pella" serve --dir "$work/db" --port "$port" >"$work/serve.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done

mkdir -p "$work/consumer"
cat >"$work/consumer/echo.c" <<'C'
#include <pella.h>
#include <stdio.h>
int main(int argc, char** argv) {
    char version[PELLA_VERSION_BUFFER_SIZE];
    char calling[17] = "CONSUMER";
    Version(version);
    if (argc != 2 || !EchoSCU("127.0.0.1", argv[1], calling, "PELLA")) return 1;
    printf("echo ok with %s\n", version);
    return 0;
}
C
cat >"$work/consumer/CMakeLists.txt" <<'CM'
cmake_minimum_required(VERSION 3.20)
project(consumer C)
find_package(Pella 0 REQUIRED)
add_executable(echo_cmake echo.c)
target_link_libraries(echo_cmake PRIVATE Pella::pella)
CM
# Consumer 1: pkg-config.
export PKG_CONFIG_PATH=$lib/pkgconfig
cc -o "$work/echo_pc" "$work/consumer/echo.c" $(pkg-config --cflags --libs pella) -Wl,-rpath,"$lib"
"$work/echo_pc" "$port" | grep -q "echo ok" || fail "the pkg-config consumer's echo failed"
# Consumer 2: find_package(Pella).
cmake -S "$work/consumer" -B "$work/consumer/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer/build" >/dev/null
"$work/consumer/build/echo_cmake" "$port" | grep -q "echo ok" || fail "the find_package consumer's echo failed"

# Packages.
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >/dev/null) || fail "cpack failed"
check_package() {  # check_package NAME FILE...
  local name=$1 deb
  shift
  deb=$(ls "$work/packages/${name}_"*.deb 2>/dev/null | head -1)
  [ -n "$deb" ] || fail "no package $name"
  dpkg-deb -c "$deb" >"$work/$name.files"
  for file in "$@"; do
    grep -q "$file" "$work/$name.files" || fail "$name lacks $file"
  done
  echo "$name: $(dpkg-deb -f "$deb" Depends)"
}
check_package libpella0 "/usr/lib/libpella.so.0 -> " "/usr/lib/libpella.so.0.[0-9]*.[0-9]* *$" \
  "/usr/lib/libpella_htj2k.so *$"
# libpq, cairo, libjpeg, libpng, OpenSSL, SQLite, GDCM's JPEG builds and OpenJPEG are loaded on
# first use, OpenJPH by the HTJ2K module: dependencies all the same.
for dependency in libpq5 libcairo2 libjpeg62-turbo libpng16-16 libssl3 libsqlite3-0 libgdcm3.0 libopenjp2-7 \
  libopenjph; do
  dpkg-deb -f "$(ls "$work/packages"/libpella0_*.deb)" Depends | grep -q "$dependency" ||
    fail "libpella0 does not depend on $dependency"
done
check_package libpella-dev "/usr/include/pella.h" "pkgconfig/pella.pc" "cmake/Pella/PellaConfig.cmake" "libpella.so "
check_package pella-tools "/usr/bin/pella *$" "/usr/share/man/man1/pella-echo.1"
dpkg-deb -f "$(ls "$work/packages"/pella-tools_*.deb)" Depends | grep -q "libpella0 (= " ||
  fail "pella-tools does not depend on libpella0"
echo "install test passed"
