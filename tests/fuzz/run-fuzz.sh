#!/bin/sh
# Builds one libFuzzer target with clang and runs it for a short while from a folder of seeds:
# fuzz_edid (the EDID decoder, seeded with the real-monitor EDIDs; the default),
# fuzz_replyreader (the reply collector, seeded from tests/fuzz/seeds-replyreader), fuzz_zip
# (the ZIP reader, seeded with archives fuzz_zip_seeds.sh makes), fuzz_intelhex (the Intel HEX
# reader, seeded from tests/fuzz/seeds-intelhex), fuzz_tftp (the TFTP server's datagram
# parsing, seeded from tests/fuzz/seeds-tftp), fuzz_ymodem (the YMODEM sender and receiver over
# a garbling channel, seeded from tests/fuzz/seeds-ymodem) or fuzz_discovery (the discovery
# datagram parser, seeded from tests/fuzz/seeds-discovery). Exit 0: no
# finding; 77: skipped (no clang); anything else: a build failure or a finding (the reproducer is
# left in the build directory). Give each target its own build directory: the CTest tests of the
# two run side by side.
#
#   run-fuzz.sh SOURCE_DIR BUILD_DIR CORPUS_DIR [SECONDS] [TARGET]
set -eu
src=$1
build=$2
corpus=$3
seconds=${4:-25}
target=${5:-fuzz_edid}
# libFuzzer's own exit code for a finding is 77, which CTest would take for "skipped": findings
# exit with 1 instead.
case $target in
    fuzz_edid) max_len=1024 ;;
    fuzz_replyreader) max_len=4096 ;;
    fuzz_zip) max_len=8192 ;;
    fuzz_intelhex) max_len=4096 ;;
    fuzz_tftp) max_len=1024 ;;
    fuzz_ymodem) max_len=2048 ;;
    fuzz_discovery) max_len=600 ;;
    *) echo "unknown fuzz target: $target"; exit 2 ;;
esac

CXX=${PLEXA_FUZZ_CXX:-clang++}
if ! command -v "$CXX" >/dev/null 2>&1; then
    echo "SKIP: $CXX not found; the fuzz targets need clang"
    exit 77
fi

# The fuzz build sets its own flags; flags meant for the main (g++) build would only get in the way.
unset CXXFLAGS CPPFLAGS LDFLAGS
generator=
if command -v ninja >/dev/null 2>&1; then
    generator="-G Ninja"
fi
mkdir -p "$build"
# shellcheck disable=SC2086
cmake -S "$src/tests/fuzz" -B "$build" $generator -DCMAKE_BUILD_TYPE= \
    -DCMAKE_CXX_COMPILER="$CXX" -DPLEXA_SOURCE_DIR="$src" >"$build/configure.log" 2>&1 \
    || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j3 --target "$target"

# New inputs go to a scratch directory; the shared corpus is only read.
work="$build/found"
rm -rf "$work"
mkdir -p "$work"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen
exec "$build/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -error_exitcode=1 -timeout_exitcode=1 \
    -print_final_stats=1 -artifact_prefix="$build/" "$work" "$corpus"
