# Sourced by the install scripts: installs, as root on Debian 12, those of the named packages that
# are missing, with one apt-get update; nothing at all when every one is there. $1 names the
# script for its messages; $2, when "i386", adds that architecture first.
install_missing() {
  local script=$1 foreign=$2
  shift 2
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  ((${#missing[@]} == 0)) && return 0
  if ((EUID != 0)); then
    echo "$script: these packages are missing: ${missing[*]}" >&2
    echo "Installing them needs root: run this script as root (or with sudo), or install them." >&2
    return 1
  fi
  if [[ -n $foreign ]]; then
    dpkg --print-foreign-architectures | grep -qx "$foreign" || dpkg --add-architecture "$foreign"
  fi
  export DEBIAN_FRONTEND=noninteractive
  # A mirror caught mid-sync fails an update now and then; the lists it did fetch may still do.
  local try
  for try in 1 2 3; do
    apt-get update && break
    ((try < 3)) && sleep 10
  done
  apt-get install -y --no-install-recommends "${missing[@]}"
}
