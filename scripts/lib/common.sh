# Shared by the scripts: configure and build one build directory.

step() { printf '\n== %s ==\n' "$*"; }

# configure <build-dir> [cmake options...]: configure (Ninja) and build everything in it.
configure() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
