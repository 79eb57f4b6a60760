#!/usr/bin/env bash
# Time from launching Vantrel to its main window's first paint.
#
#   bench/launch_time.sh [path/to/Vantrel] [runs]
#
# Runs the program `runs` times (default 9) on one virtual X server
# (xvfb-run, 1280x800) with a fresh profile and data folder, after one
# warm-up start that writes the settings files as a first start does. The
# program writes the wall-clock time of its first paint to the file named by
# VANTREL_LAUNCH_PROBE and quits; each run's time is that minus the time
# just before exec. Prints every run and the median in milliseconds.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/bin/Vantrel}
runs=${2:-9}
[ -x "$program" ] || { echo "no program at $program (build the Vantrel target first)" >&2; exit 1; }
program=$(realpath "$program")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/runs.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
program=$1 runs=$2 work=$3
export VANTREL_DATA_DIR=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
one_run() {
    rm -f "$work/probe"
    local start
    start=$(date +%s%N)
    VANTREL_LAUNCH_PROBE=$work/probe timeout 60 "$program" 2>/dev/null
    [ -s "$work/probe" ] || { echo "the window was never shown" >&2; exit 1; }
    echo $(( ($(cat "$work/probe") - start) / 1000 ))
}
one_run >/dev/null   # warm-up: first start, file cache
for ((i = 0; i < runs; i++)); do one_run; done
INNER
chmod +x "$work/runs.sh"

mapfile -t micros < <(xvfb-run -a -s "-screen 0 1280x800x24" "$work/runs.sh" "$program" "$runs" "$work")
sorted=($(printf '%s\n' "${micros[@]}" | sort -n))
count=${#sorted[@]}
((count > 0)) || { echo "no runs" >&2; exit 1; }
if ((count % 2)); then
    median=${sorted[count / 2]}
else
    median=$(((sorted[count / 2 - 1] + sorted[count / 2]) / 2))
fi
printf 'run %2d: %8.1f ms\n' $(for i in "${!micros[@]}"; do echo "$((i + 1)) $(awk "BEGIN{print ${micros[i]}/1000}")"; done)
awk -v m="$median" -v n="$count" 'BEGIN { printf "median of %d launches to the first paint: %.1f ms\n", n, m / 1000 }'
