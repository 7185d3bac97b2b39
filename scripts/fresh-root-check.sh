#!/usr/bin/env bash
# Proves the README's two commands on a machine that has nothing of this one: makes a minimal
# Debian root with debootstrap, puts the checkout's files in it and runs ./scripts/demo.sh and
# then ./scripts/test.sh inside it with chroot. Prints pass or fail and the wall time of each.
# Not part of the test command; needs root and Debian's mirror.
#
#   scripts/fresh-root-check.sh [--new-root] [--keep] [--work DIR]
#
# The bare root (debootstrap's minimal variant, before any of the project's packages) is kept
# as a tarball in /var/cache/imvela-fresh-root, and the packages apt downloads inside the root
# in a folder beside it, so a second run skips debootstrap and the downloads; --new-root makes
# the tarball again. --keep leaves the root (default work folder /var/tmp/imvela-fresh-root)
# for a look inside after the run. Logs: WORK/demo.log, WORK/test.log.
set -euo pipefail
checkout=$(cd "$(dirname "$0")/.." && pwd)
suite=bookworm
cache=/var/cache/imvela-fresh-root
work=/var/tmp/imvela-fresh-root
new_root=""
keep=""
while [ $# -ne 0 ]; do
  case $1 in
    --new-root) new_root=1 ;;
    --keep) keep=1 ;;
    --work) work=$2; shift ;;
    *) echo "usage: $0 [--new-root] [--keep] [--work DIR]" >&2; exit 2 ;;
  esac
  shift
done
[ "$(id -u)" -eq 0 ] || { echo "$0: needs root (debootstrap, chroot, mount)" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "$0: needs debootstrap (apt-get install debootstrap)" >&2; exit 2; }

# Debian's mirror as this machine's apt knows it (deb822 .sources or one-line lists).
mirror=$(
  {
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && awk '/^Types:/ { deb = ($0 ~ /[[:space:]]deb([[:space:]]|$)/) }
                          deb && /^URIs:/ && $2 !~ /security/ { print $2 }' "$f"
    done
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      awk '$1 == "deb" && $0 !~ /security/ { for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) { print $i; break } }' || true
  } | head -1 || true
)
mirror=${mirror:-http://deb.debian.org/debian}

arch=$(dpkg --print-architecture)
tarball=$cache/$suite-$arch-minbase.tar.gz
root=$work/root
mkdir -p "$cache/archives" "$work"

mounted=()
cleanup() {
  local status=$?
  # Processes left inside the root (a virtual screen, a Wine server) hold its mounts.
  local pid
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    if [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ]; then kill -9 "$pid" 2>/dev/null || true; fi
  done
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
  done
  if [ -z "$keep" ] && ! grep -q " $root" /proc/mounts; then rm -rf "$root"; fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mount_in() {  # mount arguments..., target inside the root (last)
  local target=$root${*: -1}
  mkdir -p "$target"
  mount "${@:1:$#-1}" "$target"
  mounted+=("$target")
  # Nothing mounted beneath it may reach this machine's own mounts.
  mount --make-private "$target"
}

if grep -q " $root" /proc/mounts; then
  echo "$0: something is still mounted under $root; unmount it first" >&2
  exit 1
fi
rm -rf "$root"
started=$(date +%s)
if [ -n "$new_root" ] || [ ! -f "$tarball" ]; then
  echo "=== debootstrap $suite ($arch) from $mirror"
  mkdir -p "$root"
  debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; exit 1; }
  rm -f "$root"/var/cache/apt/archives/*.deb
  tar -C "$root" -czf "$tarball.part" . && mv "$tarball.part" "$tarball"
else
  echo "=== bare root from $tarball"
  mkdir -p "$root"
  tar -C "$root" -xzf "$tarball"
fi
echo "    ready in $(($(date +%s) - started)) s"

# The checkout's files as they are now (tracked, and new files not ignored); no build folder.
mkdir -p "$root/root/imvela"
(cd "$checkout" && git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
  tar --null -T - -cf -) | tar -C "$root/root/imvela" -xf -
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

mount_in -t proc proc /proc
mount_in -t sysfs sysfs /sys
mount_in --bind /dev /dev
mount_in --bind /dev/pts /dev/pts
mount_in -t tmpfs -o mode=1777 tmpfs /dev/shm
mount_in --bind "$cache/archives" /var/cache/apt/archives

run() {  # name, command inside the checkout
  local name=$1 command=$2 begun status
  echo "=== $command"
  begun=$(date +%s)
  set +e
  chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/imvela && $command" >"$work/$name.log" 2>&1 </dev/null
  status=$?
  set -e
  local seconds=$(($(date +%s) - begun))
  times+=("$(printf '%-20s %s  %dm%02ds' "$command" "$([ $status -eq 0 ] && echo pass || echo "FAIL (exit $status)")" \
    $((seconds / 60)) $((seconds % 60)))")
  if [ $status -ne 0 ]; then
    tail -40 "$work/$name.log"
    failures=$((failures + 1))
  else
    tail -3 "$work/$name.log"
  fi
  return 0
}

times=()
failures=0
run demo ./scripts/demo.sh
run test ./scripts/test.sh
echo "=== fresh $suite root: results (logs in $work)"
printf '%s\n' "${times[@]}"
[ "$failures" -eq 0 ]
