# Sourced by the install scripts: installs, as root on Debian 12, those of the named packages that
# are missing, with one apt-get update; nothing at all when every one is there. $1 names the
# script for its messages; $2, when "i386", adds that architecture first.
#
# Packages of the foreign architecture (named NAME:i386) are installed in a second step that may
# fail: a mirror in mid-sync can serve an i386 index older than the 64-bit one, and then no :i386
# package installs beside the newer libraries. Those left out are in `foreign_not_installed`, with
# apt's last words in `foreign_failure`, for the caller to say what it loses.
foreign_not_installed=()
foreign_failure=""

install_missing() {
  local script=$1 foreign=$2
  shift 2
  local - native=() foreign_packages=() package
  set -o pipefail
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" && continue
    if [[ -n $foreign && $package == *:"$foreign" ]]; then
      foreign_packages+=("$package")
    else
      native+=("$package")
    fi
  done
  ((${#native[@]} + ${#foreign_packages[@]} == 0)) && return 0
  if ((EUID != 0)); then
    if ((${#native[@]} > 0)); then
      echo "$script: these packages are missing: ${native[*]} ${foreign_packages[*]}" >&2
      echo "Installing them needs root: run this script as root (or with sudo), or install them." >&2
      return 1
    fi
    foreign_not_installed=("${foreign_packages[@]}")
    foreign_failure="not installed, and installing it needs root"
    return 0
  fi
  if [[ -n $foreign ]]; then
    dpkg --print-foreign-architectures | grep -qx "$foreign" || dpkg --add-architecture "$foreign"
  fi
  export DEBIAN_FRONTEND=noninteractive
  update_package_lists "$foreign"
  if ((${#native[@]} > 0)); then
    apt-get install -y --no-install-recommends "${native[@]}" || return
  fi
  ((${#foreign_packages[@]} == 0)) && return 0
  local log status=0
  log=$(mktemp)
  apt-get install -y --no-install-recommends "${foreign_packages[@]}" 2>&1 | tee "$log" || status=$?
  if ((status != 0)); then
    foreign_not_installed=("${foreign_packages[@]}")
    foreign_failure=$(grep -v '^[[:space:]]*$' "$log" | tail -n 1) || true
    [[ -n $foreign_failure ]] || foreign_failure="apt-get install exited with $status"
  fi
  rm -f "$log"
  return 0
}

# A mirror caught mid-sync fails an update now and then; the lists it did fetch may still do, so
# a failed update is tried again, but not one whose every failed index is the foreign
# architecture's: that is what the second install step is ready for, and three tries cost 20 s
# on every later run.
update_package_lists() {
  local - foreign=$1 try log failed
  set -o pipefail
  log=$(mktemp)
  for try in 1 2 3; do
    apt-get update 2>&1 | tee "$log" && break
    failed=$(grep '^E: Failed to fetch' "$log") || true
    if [[ -n $foreign && -n $failed ]] && ! grep -qv "/binary-$foreign/" <<<"$failed"; then
      echo "apt-get update: only the $foreign index failed; not tried again" >&2
      break
    fi
    ((try < 3)) && sleep 10
  done
  rm -f "$log"
  return 0
}
