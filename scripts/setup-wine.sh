#!/bin/bash
# Prepares a Debian 12 machine, as root, to cross-build Quillmarch.aex and to
# run 32-bit Windows programs under Wine: the mingw-w64 cross compilers,
# GoogleTest's source, Wine with its 32-bit loader and, where the kernel
# cannot run 32-bit x86 programs itself, user-mode emulation for them.
#
# Safe to run again: every step checks first. Ends with a small Windows
# program run under Wine, so a machine that cannot run the module tests is
# found here and not in the middle of a test run.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo > /dev/null; then
    exec sudo -E bash "$0" "$@"
  fi
  echo "setup-wine.sh: must run as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
note() { echo "setup-wine: $*"; }

. /etc/os-release
codename=${VERSION_CODENAME:-}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  note "adding the i386 architecture"
  dpkg --add-architecture i386
fi

# Set whenever this run changes the machine; the closing check then runs a
# whole Windows program instead of the quick look.
changed=0

packages=(g++-mingw-w64-i686 googletest wine wine32:i386)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  note "installing ${missing[*]}"
  apt-get update -q
  # Wine with its recommended libraries, as the module tests have been run
  # with it; a Wine without them is one nobody has tried.
  apt-get install -y -q "${missing[@]}"
  changed=1
fi

# A kernel built without 32-bit compatibility (as on the small VMs that CI
# uses) answers "Exec format error" for every i386 program, Wine's loader
# included. binfmt_misc can then hand such programs to qemu's user-mode
# emulator. Debian 12's own qemu (7.2) is not enough: it scans its guest
# address space page by page on every mmap, and Wine, which reserves most of
# the 32-bit space up front, then needs about a minute of CPU per process.
# qemu 8.1 and later keep that map in an interval tree and, for 32-bit
# guests, reserve the whole guest space by default, which Wine's fixed
# mappings (such as the shared user data at 0x7ffe0000) require.
binfmt_dir=/proc/sys/fs/binfmt_misc
binfmt_entry=$binfmt_dir/qemu-i386

i386_runs_natively() {
  local disabled=0 result=0
  if [ -e "$binfmt_entry" ] && grep -qx enabled "$binfmt_entry"; then
    echo 0 > "$binfmt_entry"
    disabled=1
  fi
  /lib/ld-linux.so.2 --version > /dev/null 2>&1 || result=1
  if [ "$disabled" = 1 ]; then
    echo 1 > "$binfmt_entry"
  fi
  return "$result"
}

qemu_major() {
  local version
  version=$(qemu-i386 --version 2> /dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\.\([0-9]*\).*/\1 \2/p')
  [ -n "$version" ] || { echo 0; return; }
  set -- $version
  # 8.1 counts as 8, anything older as 7 or below.
  if [ "$1" -eq 8 ] && [ "$2" -lt 1 ]; then echo 7; else echo "$1"; fi
}

if [ ! -e "$binfmt_dir/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt_dir"
fi

if i386_runs_natively; then
  note "the kernel runs 32-bit x86 programs itself; no emulation needed"
  if [ -e "$binfmt_entry" ]; then
    # Native execution is far faster than any emulator.
    echo -1 > "$binfmt_entry"
    changed=1
  fi
else
  note "the kernel cannot run 32-bit x86 programs; using qemu user-mode emulation"
  if [ "$(qemu_major)" -lt 8 ]; then
    if [ "$codename" = bookworm ]; then
      if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        note "adding bookworm-backports for a current qemu"
        cat > /etc/apt/sources.list.d/bookworm-backports.sources << 'EOF'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
      fi
      apt-get update -q
      apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user
    else
      apt-get update -q
      apt-get install -y -q --no-install-recommends qemu-user
    fi
    changed=1
  fi
  if [ "$(qemu_major)" -lt 8 ]; then
    echo "setup-wine.sh: qemu-i386 8.1 or later is needed, found: $(qemu-i386 --version 2>&1 | head -1)" >&2
    exit 1
  fi
  qemu=$(command -v qemu-i386)
  # The F flag opens the emulator now, so the registration holds even inside
  # namespaces or chroots that lack the file; a registration that points at
  # another (say, an older) emulator is replaced.
  if [ -e "$binfmt_entry" ] && ! grep -qx "interpreter $qemu" "$binfmt_entry"; then
    echo -1 > "$binfmt_entry"
  fi
  if [ ! -e "$binfmt_entry" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
      > "$binfmt_dir/register"
    changed=1
  fi
  echo 1 > "$binfmt_entry"
fi

if [ "$changed" = 0 ]; then
  # Nothing changed since a run that ended with the whole check below: seeing
  # Wine's 32-bit loader start is enough.
  if ! version=$(/usr/lib/wine/wine --version 2>&1); then
    echo "setup-wine.sh: Wine's 32-bit loader does not start: $version" >&2
    exit 1
  fi
  note "Wine is ready: $version"
  exit 0
fi

# A real 32-bit Windows program, in a throw-away prefix and home, so that the
# user's own ~/.wine stays untouched.
scratch=$(mktemp -d)
trap 'WINEPREFIX=$scratch/prefix timeout 60 wineserver -k > /dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
status=0
HOME=$scratch WINEPREFIX=$scratch/prefix WINEARCH=win32 WINEDEBUG=-all \
  WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d' \
  timeout 600 wine cmd.exe /c exit 7 < /dev/null > "$scratch/log" 2>&1 || status=$?
if [ "$status" -ne 7 ]; then
  echo "setup-wine.sh: Wine could not run a 32-bit Windows program (exit $status):" >&2
  cat "$scratch/log" >&2
  exit 1
fi
note "Wine runs 32-bit Windows programs: $(wine --version)"
