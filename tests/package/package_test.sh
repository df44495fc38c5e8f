#!/usr/bin/env bash
# Builds the Debian package from the build tree, installs it, uses what it
# installed, purges it and checks that nothing it installed is left behind.
#   package_test.sh BUILD_DIR VERSION HELPER_PATH DOC_DIR
set -uo pipefail
build=$1 version=$2 helper=$3 docdir=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
if dpkg-query -W -f='${db:Status-Abbrev}' tarnwell 2>/dev/null | grep -q '^.[ic]'; then
  skip "tarnwell is installed on this machine; the test would remove it"
fi

work=$(mktemp -d)
chmod 755 "$work"   # polkitd, below, drops root before it connects
export XDG_CONFIG_HOME=$work/config   # what the program keeps goes away with the test
installed=0 pids=()
cleanup() {
  ((installed)) && dpkg -P tarnwell >/dev/null 2>&1
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/tarnwell_"$version"_*.deb) || fail "no tarnwell_${version}_<arch>.deb"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6core6 libqt6widgets6 libudev1 libmount1 pkexec "zfsutils-linux | zfs-fuse"; do
  [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep"
done

# Every file the package holds must be new to this machine, or purging it
# would remove something that was here before.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$work/files"
while read -r f; do
  [ -e "$f" ] && [ ! -d "$f" ] && skip "$f exists already"
done <"$work/files"
for f in /usr/bin/tarnwell "$helper" "$docdir/guide/index.html" /usr/share/man/man1/tarnwell.1.gz \
         /usr/share/applications/org.tarnwell.Tarnwell.desktop /usr/share/metainfo/org.tarnwell.Tarnwell.metainfo.xml \
         /usr/share/icons/hicolor/48x48/apps/org.tarnwell.Tarnwell.png /usr/share/doc/tarnwell/copyright; do
  grep -qxF "$f" "$work/files" || fail "the package lacks $f"
done

dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
installed=1

# Clean means not even a hint: one (no main category) hides the entry from the menu.
out=$(desktop-file-validate /usr/share/applications/org.tarnwell.Tarnwell.desktop 2>&1)
[ -z "$out" ] || fail "desktop entry: $out"
# Pedantic remarks aside: the one left is on the upper case in the application's id.
appstreamcli validate --no-net /usr/share/metainfo/org.tarnwell.Tarnwell.metainfo.xml >"$work/as" 2>&1 &&
  ! grep -q '^[EWI]:' "$work/as" || fail "metainfo: $(cat "$work/as")"
[ "$(man -w tarnwell)" = /usr/share/man/man1/tarnwell.1.gz ] || fail "man tarnwell finds no page"

out=$(/usr/bin/tarnwell --version) || fail "tarnwell --version"
[ "$out" = "Tarnwell $version" ] || fail "tarnwell --version said: $out"
# zpool may be missing or its service down (1), or one of its runs may fail,
# as zfs-fuse's does on OpenZFS's "status -L" (2); the listing then says so.
/usr/bin/tarnwell --list >"$work/list.out" 2>"$work/list.err"
status=$?
if [ $status -eq 0 ]; then
  head -1 "$work/list.out" | grep -qE '^(NAME|No pools\.)' || fail "tarnwell --list printed: $(cat "$work/list.out")"
  echo "tarnwell --list: $(head -1 "$work/list.out")"
elif [ $status -eq 1 ] || [ $status -eq 2 ]; then
  grep -q '^tarnwell: ' "$work/list.err" || fail "tarnwell --list failed without saying why"
  echo "tarnwell --list ($status): $(head -1 "$work/list.err")"
else
  fail "tarnwell --list exited $status: $(cat "$work/list.err")"
fi

# pkaction asks polkitd on the system bus; without one (a container), the
# test brings up a bus and a polkitd of its own.
if ! pkaction --action-id org.freedesktop.policykit.exec >/dev/null 2>&1; then
  cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/> <allow own="*"/> <allow send_destination="*"/> <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
  dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile 2>/dev/null &
  pids+=($!)
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/bus
  for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.05; done
  /usr/lib/polkit-1/polkitd --no-debug >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do pkaction --action-id org.freedesktop.policykit.exec >/dev/null 2>&1 && break; sleep 0.05; done
fi
policies=$(grep '^/usr/share/polkit-1/actions/.*\.policy$' "$work/files")
actions=$(sed -n 's/.*<action id="\([^"]*\)".*/\1/p' $policies)
[ -n "$actions" ] || fail "the package has no polkit action"
programs=" "
for id in $actions; do
  # A running polkitd notices new action files a moment later.
  known=0
  for _ in $(seq 40); do
    pkaction --action-id "$id" --verbose >"$work/action" 2>&1 && { known=1; break; }
    sleep 0.05
  done
  ((known)) || fail "pkaction does not know $id: $(cat "$work/action")"
  path=$(sed -n 's/.*org\.freedesktop\.policykit\.exec\.path -> //p' "$work/action")
  if [ -n "$path" ] && [ ! -x "$path" ]; then fail "$id runs $path, which is not installed"; fi
  programs+="$path "
  echo "polkit action $id${path:+ for $path}"
done
[[ $programs == *" $helper "* ]] || fail "no polkit action lets pkexec start $helper"

dpkg -P tarnwell >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -P"; }
installed=0
dpkg-query -W tarnwell >/dev/null 2>&1 && fail "dpkg still knows tarnwell after the purge"
# Files must be gone, and folders too unless another package owns them.
left=0
while read -r f; do
  [ -e "$f" ] || continue
  if [ -d "$f" ] && dpkg-query -S "$f" >/dev/null 2>&1; then continue; fi
  echo "left behind: $f" >&2
  left=1
done <"$work/files"
((left == 0)) || fail "the purge left files behind"
echo "installed, used and purged cleanly"
