#!/usr/bin/env bash
# scripts/build, ./run and ./test on a scratch project of three small programs: a broken source
# must fail them with the compiler's message (and ./run must not start the program built before),
# and ./run must build only the program, not the tests.
#   build_script_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvexa-build-script.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures=$((failures + 1)); fi
}
contains() { grep -q -- "$2" "$1"; }
lacks() { ! grep -q -- "$2" "$1"; }

mkdir -p "$scratch/scripts" "$scratch/src"
cp "$source_dir/run" "$source_dir/test" "$scratch/"
cp "$source_dir/scripts/build" "$scratch/scripts/"
# The set-up has nothing to install here; the demo only says that it ran.
printf '#!/usr/bin/env bash\nexit 0\n' > "$scratch/scripts/setup"
printf '#!/usr/bin/env bash\necho "demo ran with $1"\n' > "$scratch/scripts/demo"
chmod +x "$scratch/scripts/setup" "$scratch/scripts/demo"
cat > "$scratch/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(scratch LANGUAGES CXX)
option(ORVEXA_WERROR "" OFF)
enable_testing()
add_executable(orvexa-full src/full.cpp)
add_executable(orvexa src/launcher.cpp)
add_executable(some_tests src/tests.cpp)
add_test(NAME some_tests COMMAND some_tests)
CMAKE
for f in full launcher tests; do echo 'int main() { return 0; }' > "$scratch/src/$f.cpp"; done
cd "$scratch"

scripts/build plain > plain.log 2>&1
check "a clean build exits 0" test $? -eq 0
check "without targets everything is built" test -x plain/some_tests

./run > run.log 2>&1
check "./run exits 0 on a clean tree" test $? -eq 0
check "./run starts the demo" contains run.log "demo ran with build"
check "./run builds the program" test -x build/orvexa -a -x build/orvexa-full
check "./run leaves the tests unbuilt" test ! -e build/some_tests

echo 'int main() { return undeclared_name; }' > src/full.cpp
./run > broken-run.log 2>&1
check "./run fails on a broken source" test $? -ne 0
check "./run shows the compiler's message" contains broken-run.log "undeclared_name"
check "./run does not start the program built before" lacks broken-run.log "demo ran"

./test > broken-test.log 2>&1
check "./test fails on a broken source" test $? -ne 0
check "./test shows the compiler's message" contains broken-test.log "undeclared_name"
check "./test stops before the tests run" lacks broken-test.log "Test project"

scripts/build plain some_tests > target.log 2>&1
check "a named target that builds exits 0" test $? -eq 0
scripts/build plain > broken.log 2>&1
check "scripts/build fails on a broken source" test $? -ne 0
check "scripts/build shows the compiler's message" contains broken.log "undeclared_name"
check "scripts/build drops ninja's progress lines" lacks broken.log '^\[[0-9]*/[0-9]*\] '

if [ "$failures" -ne 0 ]; then
  for log in *.log; do echo "--- $log"; cat "$log"; done
  exit 1
fi
