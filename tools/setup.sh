# Shared set-up for ./run and ./test: installs missing Debian packages and builds.
# Sourced, not run. Callers set PACKAGES and BUILD_DIR.

die() { echo "$*" >&2; exit 1; }

ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
      sudo=(sudo)
    else
      die "Missing Debian packages: ${missing[*]}. Install them as root (apt-get install ${missing[*]}) or run this as root."
    fi
  fi
  echo "Installing: ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -qq >&2 || die "apt-get update failed"
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2 \
    || die "apt-get install ${missing[*]} failed"
}

BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev)

# build_project DIR [BUILD_TYPE [CMAKE_ARGS...]]: configures DIR once, then builds it.
# ccache is used when the machine has it (it is not needed).
build_project() {
  local dir=$1 type=${2:-Release}
  shift $(( $# < 2 ? $# : 2 ))
  if [ ! -f "$dir/build.ninja" ]; then
    local launcher=()
    command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${launcher[@]}" "$@" >&2 || die "cmake configure failed"
  fi
  # Paths below the checkout are hashed relative to it, so that a clone elsewhere reuses the cache.
  CCACHE_BASEDIR=$PWD cmake --build "$dir" -j "$(nproc)" >&2 || die "build failed"
}
