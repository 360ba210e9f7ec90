#!/usr/bin/env bash
# Cross-builds xmdopt for Windows on Debian and runs the test suite under
# Wine:
#   1. installs what is missing (MinGW-w64, Wine, zip, Boost's headers, the
#      GoogleTest sources, and a deb-src entry for Boost's source package);
#   2. builds Boost.Serialization and GoogleTest for MinGW once, into a cache
#      folder keyed by their versions, the target and the compiler's version;
#   3. cross-builds the project for 64-bit Windows into build-windows/
#      (static executables);
#   4. leaves build-windows/xmdopt.exe and a zip of it with the README;
#   5. runs every test there under Wine (ctest), then the tool on the test
#      models (samples, fuzz corpus) against the Linux build.
# Options:
#   --no-test    leaves the tests and test models out (xmdopt.exe still runs
#                once)
#   --32-bit     also builds the 32-bit xmdopt.exe (build-windows-x86/, and
#                its zip); its tests are not built
# Environment: XMDOPT_WINDOWS_CACHE, the cache folder (default
# ${XDG_CACHE_HOME:-~/.cache}/xmdopt-windows).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
run_tests=1
with_32_bit=0
for arg in "$@"; do
  case $arg in
    --no-test) run_tests=0 ;;
    --32-bit) with_32_bit=1 ;;
    *)
      echo "usage: bash scripts/windows.sh [--no-test] [--32-bit]" >&2
      exit 2
      ;;
  esac
done
cache=${XMDOPT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/xmdopt-windows}
jobs=2  # the build shares the machine: never more than two compilers at once
cxx=x86_64-w64-mingw32-g++-posix
step() { echo "== $* (${SECONDS}s so far)"; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# --- 1. packages --------------------------------------------------------------
step "packages"
toolchains=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix)
[ "$with_32_bit" = 1 ] && toolchains+=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix)
bash scripts/deps.sh "${toolchains[@]}" wine64 zip ninja-build libboost1.74-dev googletest \
  xz-utils

# apt-get source needs a deb-src entry for the suites the machine installs
# from; one is added beside each Debian archive entry that lacks it.
if ! apt-cache showsrc boost1.74 2>/dev/null | grep -q '^Package: boost1.74'; then
  step "adding deb-src entries"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -f scripts/deb-src.awk "$f"
  done | $sudo tee /etc/apt/sources.list.d/xmdopt-deb-src.sources >/dev/null
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]\+\(.*debian.*\)$/deb-src \1/p' "$f"
  done | $sudo tee /etc/apt/sources.list.d/xmdopt-deb-src.list >/dev/null
  $sudo apt-get update -qq
fi

boost_version=$(dpkg-query -W -f='${Version}' libboost1.74-dev)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
gcc_version=$($cxx -dumpversion)
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || command -v wineserver64 || echo /usr/lib/wine/wineserver64)

# --- 2. Boost.Serialization and GoogleTest for MinGW ---------------------------
boost_src=$cache/boost-src-$boost_version/libs/serialization/src
if [ ! -f "$boost_src/xml_iarchive.cpp" ]; then
  step "Boost $boost_version sources"
  download=$cache/download
  rm -rf "$download"
  mkdir -p "$download"
  # apt downloads as its own user where it can write.
  if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then chown _apt "$download"; fi
  (cd "$download" && apt-get source --download-only -qq "boost1.74=$boost_version")
  mkdir -p "$cache/boost-src-$boost_version"
  tar -xJf "$download"/boost1.74_*.orig.tar.xz -C "$cache/boost-src-$boost_version" \
    --strip-components=1 --wildcards '*/libs/serialization/src/*'
  rm -rf "$download"
fi

# What the XML archives need of the library (its wide-character, text, binary
# and polymorphic archives are left out). xml_grammar and xml_iarchive are
# built apart, with the reader's repairs (below).
boost_sources=(archive_exception basic_archive basic_iarchive basic_iserializer basic_oarchive
  basic_oserializer basic_pointer_iserializer basic_pointer_oserializer basic_serializer_map
  basic_text_iprimitive basic_text_oprimitive basic_xml_archive codecvt_null extended_type_info
  extended_type_info_no_rtti extended_type_info_typeid stl_port utf8_codecvt_facet void_cast
  xml_archive_exception xml_oarchive)

# boost_for TRIPLE: builds Boost.Serialization for that MinGW target once and
# sets boost_dir (its headers) and boost_lib (the static library).
boost_for() {
  local triple=$1 cxx=$1-g++-posix
  boost_dir=$cache/boost-$boost_version-$triple-gcc$($cxx -dumpversion)
  # A folder that holds only Debian's boost header folder, so that no other
  # header of the host reaches the cross-compiler.
  mkdir -p "$boost_dir/include" "$boost_dir/obj"
  ln -sfn /usr/include/boost "$boost_dir/include/boost"
  local flags=(-std=c++17 -O2 -DNDEBUG -isystem "$boost_dir/include")
  if [ ! -f "$boost_dir/obj/.complete" ]; then
    step "building Boost.Serialization for $triple"
    printf '%s\n' "${boost_sources[@]}" |
      xargs -P"$jobs" -I{} "$cxx" "${flags[@]}" -c "$boost_src/{}.cpp" -o "$boost_dir/obj/{}.o"
    touch "$boost_dir/obj/.complete"
  fi

  # On Linux the repairs of sg/XmlIarchiveRepairs.cpp replace members of the
  # shared library at load time. A static library cannot be patched that
  # way: the reader's two sources are compiled here in one unit after the
  # repairs, so the library's own object carries the repaired members in
  # place of its own. Keyed by the repairs' contents.
  local repairs=sg/XmlIarchiveRepairs.cpp
  local lib_dir=$boost_dir/repaired-$(sha256sum "$repairs" | cut -c1-16)/lib
  boost_lib=$lib_dir/libboost_serialization.a
  if [ ! -f "$boost_lib" ]; then
    step "the XML reader with its repairs, for $triple"
    mkdir -p "$lib_dir"
    local unit=$lib_dir/xml_iarchive_repaired.cpp
    {
      echo "// Written by scripts/windows.sh: the XML reader of Boost.Serialization with"
      echo "// the repaired members of $repairs in place of its own."
      echo "#define BOOST_ARCHIVE_SOURCE"
      echo "#include \"$here/$repairs\""
      echo "#include \"$boost_src/xml_grammar.cpp\""
      echo "#include \"$boost_src/xml_iarchive.cpp\""
    } >"$unit"
    "$cxx" "${flags[@]}" -c "$unit" -o "$lib_dir/xml_iarchive_repaired.o"
    rm -f "$boost_lib.part"
    $triple-ar rcs "$boost_lib.part" "$boost_dir"/obj/*.o "$lib_dir/xml_iarchive_repaired.o"
    mv "$boost_lib.part" "$boost_lib"
  fi
}

# The header-only libraries of the command line (CLI11) and of the report
# (nlohmann-json), Debian's own, in a folder that holds only them.
headers=$cache/headers
mkdir -p "$headers"
ln -sfn /usr/include/CLI "$headers/CLI"
ln -sfn /usr/include/nlohmann "$headers/nlohmann"

launcher=()  # ccache, where the machine has it, keeps a rebuild from scratch cheap
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

# cross_build TRIPLE DIR TARGET CMAKE-ARGUMENTS...: the project for that MinGW
# target in DIR (cmake --build --target TARGET), then DIR/xmdopt.exe, checked
# to need no DLL that Windows does not bring, and its zip with the README.
cross_build() {
  local triple=$1 dir=$2 target=$3 arch
  shift 3
  case $triple in
    x86_64-*) arch=x64 ;;
    *) arch=x86 ;;
  esac
  boost_for "$triple"
  step "cross-building xmdopt for $triple"
  # -O2 without debug information: the executable ships stripped, and debug
  # information is a large part of the compile time.
  # The Boost variables are set afresh (-U first): FindBoost forgets a given
  # library when the headers' folder differs from the one it last used.
  cmake -S . -B "$dir" -G Ninja -U '*Boost_*' -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-${triple%%-*}.cmake" \
    -DXMDOPT_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="-isystem $headers" \
    -DBoost_NO_BOOST_CMAKE=ON -DBoost_USE_STATIC_LIBS=ON \
    -DBoost_INCLUDE_DIR="$boost_dir/include" \
    -DBoost_SERIALIZATION_LIBRARY_RELEASE="$boost_lib" \
    -DXMDOPT_BOOST_CARRIES_XML_REPAIRS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" --target "$target"
  cp "$dir/tool/xmdopt.exe" "$dir/xmdopt.exe"
  if $triple-objdump -p "$dir/xmdopt.exe" | grep -i 'DLL Name' | grep -iv \
    -e kernel32 -e msvcrt -e advapi32 -e user32 -e shell32 -e ws2_32 -e api-ms-win; then
    echo "windows: $dir/xmdopt.exe needs a DLL that Windows does not bring (above)" >&2
    exit 1
  fi
  local package
  package=$dir/xmdopt-$version-windows-$arch
  rm -rf "$package" "$package.zip"
  mkdir -p "$package"
  $triple-strip -o "$package/xmdopt.exe" "$dir/xmdopt.exe"
  cp README.md "$package/"
  (cd "$dir" && zip -q -r "$(basename "$package").zip" "$(basename "$package")")
  rm -rf "$package"
  echo "windows: $dir/xmdopt.exe and $package.zip"
}

version=$(sed -n 's/^project(xmdopt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# --- 3. the 64-bit program and its tests, 4. the product ----------------------
gtest_dir=$cache/googletest-$gtest_version-gcc$gcc_version
if [ ! -f "$gtest_dir/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
  step "building GoogleTest for MinGW"
  rm -rf "$gtest_dir"
  cmake -S /usr/src/googletest -B "$gtest_dir/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$gtest_dir/install" -Dgtest_disable_pthreads=ON >/dev/null
  cmake --build "$gtest_dir/build" -j"$jobs"
  cmake --install "$gtest_dir/build" >/dev/null
  rm -rf "$gtest_dir/build"
fi
cross_build x86_64-w64-mingw32 build-windows all -DGTest_DIR="$gtest_dir/install/lib/cmake/GTest"

# The 32-bit program alone (no tests: running them needs Debian's 32-bit
# Wine, which is optional).
if [ "$with_32_bit" = 1 ]; then
  cross_build i686-w64-mingw32 build-windows-x86 xmdopt -DXMDOPT_BUILD_TESTS=OFF
fi

# --- 5. the suite under Wine ------------------------------------------------
# A private prefix, one server kept up for every test program, and Wine's
# own services started by a first program whose output goes to a file: a
# service started by a test would hold that test's output pipe open.
export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
# (It refuses to start when a server of this prefix is up already: that one
# serves as well.)
"$wineserver" -p </dev/null >/dev/null 2>&1 || true
trap '"$wineserver" -k 2>/dev/null || true' EXIT
step "xmdopt.exe under Wine"
"$wine" build-windows/xmdopt.exe --version </dev/null >build-windows/version.txt 2>&1
tr -d '\r' <build-windows/version.txt
if [ "$run_tests" = 1 ]; then
  step "the test suite under Wine"
  # Now and then Wine fails to start a program of a busy machine (nothing
  # printed, a failure in no time): a test fails here when it fails twice.
  # The Linux stages run every test once.
  ctest --test-dir build-windows --output-on-failure -j"$jobs" --repeat until-pass:2

  # The test models (the bundled samples, the fuzz corpus of the model
  # reader and its regressions), in directory mode and file by file: the same
  # lines (but for CR LF and the drive letter of the paths), the same exit
  # status and the same bytes as the Linux build gives (built here when
  # build/ has none).
  step "the test models, against the Linux build"
  if [ ! -x build/tool/xmdopt ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$jobs" --target xmdopt
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"; "$wineserver" -k 2>/dev/null || true' EXIT
  mkdir -p "$work/models/corpus" "$work/models/regressions"
  cp -R samples/. "$work/models/samples"
  cp fuzz/corpus/model/*.xmd "$work/models/corpus/"
  for f in fuzz/regressions/model/*; do cp "$f" "$work/models/regressions/$(basename "$f").xmd"; done
  models=$(cd "$work/models" && find . -name '*.xmd' | sort)
  for mode in directory files; do
    for side in linux windows; do
      mkdir -p "$work/$mode/$side"
      (cd "$work/models" && cp --parents $models "$work/$mode/$side/")
    done
    args=()
    [ "$mode" = files ] && read -r -a args <<<"$(echo $models)"
    status=0
    (cd "$work/$mode/linux" && "$here/build/tool/xmdopt" "${args[@]}") 2>/dev/null |
      sed "s|$work/$mode/linux/|TREE/|g" >"$work/$mode/linux.out" || status=$?
    wstatus=0
    (cd "$work/$mode/windows" && "$wine" "$here/build-windows/xmdopt.exe" "${args[@]}") \
      </dev/null 2>/dev/null | tr -d '\r' |
      sed "s|Z:$work/$mode/windows/|TREE/|g" >"$work/$mode/windows.out" || wstatus=$?
    if [ "$status" != "$wstatus" ] ||
      ! diff -u "$work/$mode/linux.out" "$work/$mode/windows.out" ||
      ! diff -r "$work/$mode/linux" "$work/$mode/windows"; then
      echo "windows: the test models in $mode mode differ from the Linux build's (above)" >&2
      exit 1
    fi
    echo "$(echo "$models" | wc -l) test models, $mode mode: exit $status," \
      "$(wc -l <"$work/$mode/linux.out") lines and every result the same as on Linux"
  done
fi
step "done"
