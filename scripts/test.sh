#!/usr/bin/env bash
# Builds everything from a fresh clone and runs every test and check:
#   format, native build (warnings as errors) + unit and integration tests, clang-tidy, the
#   service's page in headless Chromium, sanitizer build + the same tests + bounded fuzzing, the
#   two-printer tests under ThreadSanitizer, the Debian package, Windows cross-builds (64-bit
#   with the .msi package, 32-bit), end-to-end under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${MOLVEX_BUILD_DIR:-$root/build}
jobs=${MOLVEX_JOBS:-2}

failed=()
passed=()
step() {  # step NAME COMMAND...
  local name=$1
  shift
  local start=$SECONDS
  echo "=== $name"
  if "$@"; then
    passed+=("$name")
    echo "=== $name: ok ($((SECONDS - start)) s)"
  else
    failed+=("$name")
    echo "=== $name: FAILED ($((SECONDS - start)) s)"
  fi
}

bash scripts/install-deps.sh all
bash scripts/make-locales.sh "$build/locale"
export LOCPATH=$build/locale
# Every compile goes through ccache (scripts/install-deps.sh installs it): a fresh clone on a
# machine that built the same sources before compiles only what changed. Paths are taken relative
# to the clone, so clones in other folders share the cache; a compile that fails is never cached.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
fi

sources() { git ls-files '*.cpp' '*.h' | grep -v '^third_party/'; }

format_check() { sources | xargs clang-format --dry-run --Werror; }

native_build() {
  cmake -S . -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMOLVEX_WERROR=ON >/dev/null &&
    cmake --build "$build/native" -j"$jobs"
}
native_tests() { ctest --test-dir "$build/native" --output-on-failure -j"$jobs" --timeout 120; }

tidy() {
  local files
  files=$(git ls-files '*.cpp' | grep -E '^(link|object|archive|platform|trace|tools)/' || true)
  [ -z "$files" ] && return 0
  # shellcheck disable=SC2086
  run-clang-tidy -quiet -p "$build/native" -j "$jobs" -extra-arg=-Wno-unknown-warning-option $files >"$build/tidy.log" 2>&1 ||
    { grep -E 'warning:|error:' "$build/tidy.log" | head -50; return 1; }
  if grep -qE 'warning:|error:' "$build/tidy.log"; then
    grep -E 'warning:|error:' "$build/tidy.log" | head -50
    return 1
  fi
}

sanitizer_build() {
  CC=clang CXX=clang++ cmake -S . -B "$build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DMOLVEX_SANITIZE=ON -DMOLVEX_FUZZ=ON -DMOLVEX_BENCH=OFF -DMOLVEX_WERROR=ON >/dev/null &&
    cmake --build "$build/asan" -j"$jobs"
}
sanitizer_tests() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$build/asan" --output-on-failure -j"$jobs" --timeout 300
}
# Printers driven from several threads at once, under ThreadSanitizer: the tests of two printers
# (each on its own link and context) in one process, and the print service (HTTP threads, a
# worker per printer, the journal's own thread).
thread_sanitizer() {
  CC=clang CXX=clang++ cmake -S . -B "$build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DMOLVEX_TSAN=ON -DMOLVEX_BENCH=OFF -DMOLVEX_WERROR=ON >/dev/null &&
    cmake --build "$build/tsan" -j"$jobs" --target object_test service_tests &&
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
      "$build/tsan/tests/object/object_test" --gtest_filter='TwoPrinters*' &&
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
      "$build/tsan/tests/service/service_tests"
}
fuzz() { [ ! -f scripts/fuzz.sh ] || bash scripts/fuzz.sh "$build/asan"; }

# The service's libraries for Windows: built by scripts/install-deps.sh (scripts/windows-libs.sh).
windows_build() {
  cmake -S . -B "$build/mingw" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOLVEX_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
    -DMOLVEX_THIRD_PARTY="$build/third_party" >/dev/null &&
    cmake --build "$build/mingw" -j"$jobs"
}
# The 32-bit server and the 32-bit clients of the Wine run, from the same sources.
windows32_build() {
  cmake -S . -B "$build/mingw32" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOLVEX_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
    -DMOLVEX_THIRD_PARTY="$build/third_party" >/dev/null &&
    cmake --build "$build/mingw32" -j"$jobs" --target MolvexECR early_client dispatch_client tlb_dump
}
# The end-to-end run finds out once whether this machine runs 32-bit programs; where it cannot,
# every Wine program goes through the 64-bit loader and the cases that need a 32-bit program are
# reported as skipped. MOLVEX_WINE_NO32=1 takes that path on any machine:
#   MOLVEX_WINE_NO32=1 bash scripts/test.sh
wine_tests() {
  [ ! -f scripts/wine-e2e.sh ] || bash scripts/wine-e2e.sh "$build/mingw" "$build/native" "$build/mingw32"
}
# The print service's status page in headless Chromium: its buttons clicked, what it shows then
# checked, a screenshot kept in build/page/page.png (tests/page/page_test.py).
service_page() {
  if [ ! -f service/CMakeLists.txt ]; then
    echo "no print service in this tree"
    return 0
  fi
  python3 tests/page/page_test.py --service "$build/native/service/ecr-service" \
    --sim "$build/native/sim/ecr-sim" --out "$build/page"
}
# The Debian package: built (Release, build/package), installed into a clean tree and run there.
debian_package() { bash scripts/package.sh "$build/native/tools/ecrfisc/ecrfisc"; }

step "format" format_check
step "native build" native_build
step "native tests" native_tests
step "clang-tidy" tidy
step "service page" service_page
step "debian package" debian_package
step "sanitizer build" sanitizer_build
step "sanitizer tests" sanitizer_tests
step "fuzzing" fuzz
step "thread sanitizer" thread_sanitizer
step "windows build" windows_build
step "windows 32-bit build" windows32_build
step "wine end-to-end" wine_tests

echo
echo "steps: ${#passed[@]} passed, ${#failed[@]} failed"
if [ ${#failed[@]} -ne 0 ]; then
  echo "failed: ${failed[*]}"
  exit 1
fi
