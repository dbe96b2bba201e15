# Installs the Debian packages the build, the tests, the demo and the
# benchmark need, when they are missing. Sourced by scripts/test and
# scripts/demo; runs apt-get update only when something must be installed.
VELQ_PACKAGES=(
  cmake g++ make ninja-build pkg-config
  libgtest-dev libgmock-dev
  libmariadb-dev mariadb-server mariadb-client
  libssl-dev libboost-dev
  clang-14 libclang-rt-14-dev
  groff-base man-db dpkg-dev file
)

velq_install_deps() {
  local missing=()
  local p
  for p in "${VELQ_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]})); then
    echo "== installing: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
      echo "missing packages (${missing[*]}) and not root: cannot install them" >&2
      return 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}
