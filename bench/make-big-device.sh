#!/bin/sh
# Makes the devices the benchmarks time, as a family would have them:
#   DIR/big     ten accounts (Guest0..Guest9), each with a photo-like avatar of about 1 MB
#               and a wallpaper of about 3 MB, added with kavlorctl; Guest3 is active, in
#               guest mode, with two apps disabled
#   DIR/handxml the same accounts in a user-data file in XML laid out by hand (no
#               indentation), as a person editing it might leave it (kavlorctl writes
#               binary files, but keeps the format of a file it finds)
#   DIR/empty   the same device without accounts (the baseline of a start)
# Devices already made (a finished earlier run) are kept, with their data; their programs
# (SpringBoard, the tweak, the stand-ins) are installed again from BIN, so that the
# benchmarks time this build, not the one that made the device.
#
# usage: bench/make-big-device.sh DIR [BIN]   (BIN: the build's bin folder, default build/bin)
set -eu

if [ $# -lt 1 ] || [ "$1" = "--help" ] || [ "$1" = "-h" ]; then
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
    [ $# -lt 1 ] && exit 2 || exit 0
fi
DIR=$1
BIN=${2:-$(dirname "$0")/../build/bin}
for program in kavlor-sim kavlorctl kavlor-bench-pictures; do
    if [ ! -x "$BIN/$program" ]; then
        echo "make-big-device.sh: $BIN/$program is missing (build first: make all)" >&2
        exit 1
    fi
done
mkdir -p "$DIR"
DIR=$(cd "$DIR" && pwd)

make_device() { # a device with Kavlor switched on
    folder=$1
    rm -rf "$folder"
    "$BIN/kavlor-sim" init "$folder" >/dev/null
    "$BIN/kavlorctl" --device "$folder" set toggleKavlor true >/dev/null
}

for device in empty big handxml; do
    if [ -f "$DIR/$device/.bench-device-complete" ]; then
        "$BIN/kavlor-sim" init "$DIR/$device" --force >/dev/null
    fi
done

if [ ! -f "$DIR/empty/.bench-device-complete" ]; then
    make_device "$DIR/empty"
    touch "$DIR/empty/.bench-device-complete"
fi

add_accounts() { # device folder
    i=0
    while [ $i -lt 10 ]; do
        "$BIN/kavlorctl" --device "$1" user add "Guest$i" --passcode "$i$i$i$i" \
            --avatar "$DIR/pictures/avatar-$i.png" --wallpaper "$DIR/pictures/wallpaper-$i.png" \
            --block control-center,search >/dev/null
        i=$((i + 1))
    done
    "$BIN/kavlorctl" --device "$1" apps disable Guest3 com.apple.camera com.apple.mobilesafari >/dev/null
    "$BIN/kavlorctl" --device "$1" set activeUser Guest3 >/dev/null
    "$BIN/kavlorctl" --device "$1" set isKavlorActive true >/dev/null
}

if [ ! -f "$DIR/pictures/.complete" ]; then
    "$BIN/kavlor-bench-pictures" "$DIR/pictures" 10
    touch "$DIR/pictures/.complete"
fi

if [ ! -f "$DIR/big/.bench-device-complete" ]; then
    echo "make-big-device.sh: adding ten accounts of photo-like pictures to $DIR/big" >&2
    make_device "$DIR/big"
    add_accounts "$DIR/big"
    touch "$DIR/big/.bench-device-complete"
fi

if [ ! -f "$DIR/handxml/.bench-device-complete" ]; then
    echo "make-big-device.sh: the same in a hand-written XML file in $DIR/handxml (takes a while)" >&2
    make_device "$DIR/handxml"
    userdata="$DIR/handxml/var/mobile/Library/Preferences/com.Quennic.KavlorUserData.plist"
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n<dict/>\n</plist>\n' > "$userdata"
    add_accounts "$DIR/handxml"
    sed 's/^[[:space:]]*//' "$userdata" > "$userdata.new"
    mv "$userdata.new" "$userdata"
    touch "$DIR/handxml/.bench-device-complete"
fi
