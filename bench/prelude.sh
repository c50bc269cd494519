# Sourced by the whole-problem benchmarks: from the repository's root, with
# the program built and GNU time (for peak RSS) installed.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh
command -v /usr/bin/time >/dev/null || {
  sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get install -y -qq time >&2
}
bin=build/torvan
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
