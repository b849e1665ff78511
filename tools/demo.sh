#!/usr/bin/env bash
# A live recording without the device: starts the QX-7700 simulator on a
# pseudo-terminal published as COM9 and the program with a scratch profile that
# connects to it at start-up, records MDB traffic and shows it as a list.
# Usage: tools/demo.sh [build folder]   (the recording goes to the scratch folder)
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
scratch="$(mktemp -d /tmp/vrim-demo.XXXXXX)"
export XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$XDG_CONFIG_HOME/Quellfeld"
cat > "$XDG_CONFIG_HOME/Quellfeld/VRIM.ini" <<INI
[PropertyPage1]
Protocol=1
[PropertyPage2]
HDLCConnect=1
SerialPort=COM9:
StartupConnect=1
StartupAquire=1
[PropertyPage3]
FilePath=$scratch/
ScreenSize=${VRIM_DEMO_SCREEN:-2}
[%General]
DisplayAttribute=8
INI
"$build/qx7700-sim" --com 9 --scenario mdb --rate 200 --log "$scratch/qx7700.log" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
# The simulator publishes its COM link once its pseudo-terminal is ready.
for _ in $(seq 50); do [ -e "$XDG_CONFIG_HOME/Quellfeld/ports/COM9" ] && break; sleep 0.1; done
echo "Recording into $scratch"
"$build/vrim"
