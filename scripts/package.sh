#!/usr/bin/env bash
# Builds the Debian packages of xmdopt with CPack:
#   xmdopt_<version>_<arch>.deb         the tool and its manual page
#   libxmdopt-dev_<version>_<arch>.deb  static libraries, headers under
#                                       /usr/include/xmdopt, CMake package
# from a Release build of their own (build-package/, installed under /usr,
# no tests or benchmarks), into dist/ or the folder given:
#   bash scripts/package.sh [OUTDIR]
# Installs what the build lacks first (scripts/deps.sh). The packages are
# built, not installed: `apt install ./dist/xmdopt_*.deb` does that.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
out=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
bash scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DXMDOPT_BUILD_TESTS=OFF -DXMDOPT_BUILD_BENCH=OFF >/dev/null
cmake --build build-package --target xmdopt_install_parts -j"$jobs"
rm -f "$out"/xmdopt_*.deb "$out"/libxmdopt-dev_*.deb
cpack --config build-package/CPackConfig.cmake -B "$out"
rm -rf "$out/_CPack_Packages"

for deb in "$out"/xmdopt_*.deb "$out"/libxmdopt-dev_*.deb; do
  echo "== $deb"
  dpkg-deb --field "$deb" Package Version Architecture Depends
done
