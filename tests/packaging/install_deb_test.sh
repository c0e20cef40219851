#!/usr/bin/env bash
# Builds the Debian package from the build tree, installs it, and starts the installed player the
# way a desktop does (the desktop entry's Exec command, a fresh HOME, a clean environment) on a
# virtual X display: its window must appear, running in a new station folder holding the sample
# list. The package is removed again at the end, so the machine is left as it was.
set -euo pipefail
build=$1
title="Skyvane Wavelark Player"

skip() { echo "SKIP: $*"; exit 77; }
[[ $(id -u) -eq 0 ]] || skip "installing the package needs root"
package_state() { dpkg-query -W -f='${db:Status-Status}' wavelark 2>/dev/null || true; }
state=$(package_state)
[[ -z $state || $state == not-installed ]] ||
    skip "a wavelark package is already here ($state); it is left alone"
for tool in cpack dpkg-shlibdeps desktop-file-validate appstreamcli Xvfb xwininfo; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup --with-tests)"; exit 1; }
done

scratch=$(mktemp -d)
chmod 755 "$scratch"  # apt reads the package as its own unprivileged user
installed=no program_pid="" xvfb_pid=""
stop() {  # stop PID: TERM, then KILL if it has not ended within five seconds
    kill "$1" 2>/dev/null || return 0
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null || true
}
cleanup() {
    [[ -n $program_pid ]] && stop "$program_pid"
    [[ -n $xvfb_pid ]] && stop "$xvfb_pid"
    if [[ $installed == yes ]]; then
        apt-get remove -y -q -o DPkg::Lock::Timeout=300 wavelark >/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
export DEBIAN_FRONTEND=noninteractive

echo "== Building the package"
cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log"; exit 1; }
debs=("$scratch"/package/wavelark_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "FAIL: no single wavelark_*.deb"; exit 1; }
deb=${debs[0]}
echo "${deb##*/}"
dpkg-deb --field "$deb" Package Version Architecture Section Homepage Maintainer Depends Recommends
depends=$(dpkg-deb --field "$deb" Depends)
for library in libmpv libqt6widgets6 libc6; do
    [[ $depends == *"$library"* ]] || { echo "FAIL: Depends lacks $library"; exit 1; }
done
recommends=$(dpkg-deb --field "$deb" Recommends)
[[ $recommends == *qt6-wayland* ]] || { echo "FAIL: Recommends lacks qt6-wayland"; exit 1; }

echo "== Installing it"
# A lock timeout, because other work on this machine may be using apt at the same moment.
(cd "$scratch/package" && apt-get install -y -q --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "./${deb##*/}") >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; exit 1; }
installed=yes
desktop=$(dpkg -L wavelark | grep '^/usr/share/applications/.*\.desktop$') ||
    { echo "FAIL: the package has no desktop entry"; exit 1; }
metainfo=$(dpkg -L wavelark | grep '^/usr/share/metainfo/.*\.metainfo\.xml$') ||
    { echo "FAIL: the package has no metainfo"; exit 1; }
sample=/usr/share/wavelark/wavelark.ini
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"
[[ -s $sample ]] || { echo "FAIL: no sample station list at $sample"; exit 1; }

echo "== Starting it from the desktop entry"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $scratch/display ]] && break; sleep 0.1; done
[[ -s $scratch/display ]] || { cat "$scratch/xvfb.log"; echo "FAIL: Xvfb did not start"; exit 1; }
display=:$(tr -d '\n' <"$scratch/display")

# Exec field codes (%f, %U, ...) expand to nothing: the player is started without files.
exec_line=$(sed -n 's/^Exec=//p' "$desktop" | sed 's/%[a-zA-Z]//g')
home=$scratch/home
mkdir "$home"
env -i HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="$display" LANG=C.UTF-8 \
    sh -c "exec $exec_line" >"$scratch/program.log" 2>&1 &
program_pid=$!

window=no
for _ in $(seq 120); do
    kill -0 "$program_pid" 2>/dev/null || break
    if xwininfo -display "$display" -root -tree 2>/dev/null | grep -F "\"$title\"" >/dev/null; then
        window=yes
        break
    fi
    sleep 0.25
done
if [[ $window != yes ]]; then
    echo "FAIL: no window \"$title\" appeared; the windows there:"
    xwininfo -display "$display" -root -children 2>&1 | grep '^ *0x' || true
    echo "The player's output:"
    cat "$scratch/program.log"
    exit 1
fi
xwininfo -display "$display" -root -tree | grep -F "\"$title\""

failures=0
folder=$home/.config/wavelark
[[ $(readlink "/proc/$program_pid/exe") == /usr/bin/wavelark ]] ||
    { echo "FAIL: the entry did not start /usr/bin/wavelark"; failures=1; }
[[ $(readlink "/proc/$program_pid/cwd") == "$folder" ]] ||
    { echo "FAIL: the player does not run in $folder"; failures=1; }
cmp "$sample" "$folder/wavelark.ini" || { echo "FAIL: the station folder lacks the sample list"; failures=1; }

echo "== Removing the package"
stop "$program_pid"
program_pid=""
apt-get remove -y -q -o DPkg::Lock::Timeout=300 wavelark >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; exit 1; }
installed=no
state=$(package_state)
[[ -z $state || $state == not-installed ]] || { echo "FAIL: the package is still $state"; failures=1; }
[[ ! -e /usr/bin/wavelark && ! -e $desktop ]] || { echo "FAIL: files were left behind"; failures=1; }

[[ $failures -eq 0 ]] && echo "all checks passed"
exit $failures
