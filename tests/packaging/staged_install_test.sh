#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and checks what the desktop gets from it: every
# file in its place, a valid desktop entry and metainfo that name each other, and the launcher's
# station folder, with a stand-in for the player that records where it was started.
set -euo pipefail
build=$1 bindir=$2 datadir=$3 docdir=$4 version=$5
app_id=example.skyvane.Wavelark

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

echo "== Installed files"
launcher=$prefix/$bindir/wavelark-launcher
desktop=$prefix/$datadir/applications/$app_id.desktop
metainfo=$prefix/$datadir/metainfo/$app_id.metainfo.xml
sample=$prefix/$datadir/wavelark/wavelark.ini
for file in "$prefix/$bindir/wavelark" "$launcher" "$desktop" "$metainfo" "$sample" \
    "$prefix/$docdir/LICENSE"; do
    [[ -s $file ]] || fail "missing or empty: ${file#"$prefix"/}"
done
[[ -x $launcher ]] || fail "the launcher is not executable"
for size in 16 32 48 64 128 256; do
    [[ -s $prefix/$datadir/icons/hicolor/${size}x$size/apps/$app_id.png ]] ||
        fail "no ${size}x$size icon"
done

echo "== Desktop entry and metainfo"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[[ -x $prefix/$bindir/$exec_line ]] || fail "Exec=$exec_line is not an installed program"
grep -qx "Icon=$app_id" "$desktop" || fail "the entry's Icon is not the installed icon's name"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch the installed desktop entry"
grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "the metainfo has no release entry for version $version"

echo "== Launcher"
# The stand-in records its working folder and its arguments, one a line.
cat >"$prefix/$bindir/wavelark" <<'STANDIN'
#!/bin/sh
pwd >"$RECORD"
printf '%s\n' "$@" >>"$RECORD"
STANDIN
launch() {  # launch HOME [XDG_CONFIG_HOME]: runs the launcher in a clean environment
    rm -f "$scratch/record"
    env -i PATH=/usr/bin:/bin RECORD="$scratch/record" HOME="$1" ${2+XDG_CONFIG_HOME="$2"} \
        "$launcher" 2>"$scratch/launcher.err"
}
started_in() { [[ -f $scratch/record && $(cat "$scratch/record") == "$1" ]]; }

home="$scratch/first home"
launch "$home" || fail "the first start failed: $(cat "$scratch/launcher.err")"
folder="$home/.config/wavelark"
started_in "$folder" || fail "the first start did not run the player in $folder without arguments"
cmp -s "$sample" "$folder/wavelark.ini" || fail "the first start did not copy the sample list"

echo "my station,http://127.0.0.1:8000/mine" >"$folder/wavelark.ini"
launch "$home" && started_in "$folder" || fail "the second start failed"
grep -qx "my station,http://127.0.0.1:8000/mine" "$folder/wavelark.ini" ||
    fail "the second start replaced the user's station list"

rm "$folder/wavelark.ini"
ln -s "$scratch/elsewhere.ini" "$folder/wavelark.ini"
launch "$home" && started_in "$folder" || fail "the start with a dangling link failed"
[[ ! -e $scratch/elsewhere.ini ]] || fail "the launcher wrote through the user's link"

launch "$home" "$scratch/xdg" && started_in "$scratch/xdg/wavelark" ||
    fail "XDG_CONFIG_HOME was not used"
(cd "$scratch" && launch "$home" relative) && started_in "$folder" ||
    fail "a relative XDG_CONFIG_HOME was not ignored"

ln -s "$launcher" "$scratch/linked-launcher"
rm -f "$scratch/record"
env -i PATH=/usr/bin:/bin RECORD="$scratch/record" HOME="$scratch/linked home" \
    "$scratch/linked-launcher" && started_in "$scratch/linked home/.config/wavelark" &&
    cmp -s "$sample" "$scratch/linked home/.config/wavelark/wavelark.ini" ||
    fail "the launcher started through a link did not find the player or the sample list"

mkdir -p "$scratch/blocked home"
touch "$scratch/blocked home/.config"
if launch "$scratch/blocked home"; then fail "a station folder that cannot be made was not reported"; fi
[[ ! -e $scratch/record ]] || fail "the player was started without its station folder"
grep -q "station folder" "$scratch/launcher.err" || fail "no message for the missing station folder"

mv "$sample" "$sample.away"
launch "$scratch/no sample home" && started_in "$scratch/no sample home/.config/wavelark" ||
    fail "without a sample list the player was not started"
grep -q "no sample station list" "$scratch/launcher.err" || fail "no message for the missing sample"

[[ $failures -eq 0 ]] && echo "all checks passed"
exit $((failures > 0))
