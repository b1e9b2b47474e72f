# Debian packages the project needs. Sourced by run.sh and test.sh.

# Building and running the program.
PELV_RUN_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqt6opengl6-dev libglu1-mesa-dev libgl-dev libgl1-mesa-dri
  libusb-1.0-0-dev libudev-dev
  qt6-translations-l10n
)

# Besides those: the tests (GoogleTest, emulated USB devices, a virtual X
# server), the benchmarks and the fuzz targets (clang with libFuzzer).
PELV_TEST_PACKAGES=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  umockdev libumockdev-dev
  xvfb xauth
  clang libclang-rt-14-dev
)

# install_missing_packages LOG PACKAGE...
# Installs those of the packages that are not installed yet. apt's output goes
# to LOG; one line says what was installed, and on failure the whole log is shown.
install_missing_packages() {
  local log=$1
  shift
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Run this script as root, or install them first: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  mkdir -p "$(dirname "$log")"
  printf 'Installing %s ... ' "${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Another apt (an automatic upgrade) may hold the lock for a while.
  if { apt-get -o DPkg::Lock::Timeout=300 update &&
       apt-get -o DPkg::Lock::Timeout=300 install -y --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    local all
    all=$(grep -c '^Setting up ' "$log" || true)
    echo "done (packages installed in all, with what they need: ${all}); the log is $log"
  else
    echo "failed:"
    cat "$log" >&2
    echo "Installing ${missing[*]} failed (the log above is also in $log)." >&2
    exit 1
  fi
}
