#!/bin/bash
# Times `tarnwell apply --set style=simple` against G'MIC's fx_reflect (the nearest open filter
# that lays a reflection over a photograph) as whole processes, reading and writing PNG files,
# side by side in one run so both see the same load on the machine.
#
#   bench/simple_vs_gmic.sh [--bin FOLDER] [--runs N] [PICTURE]
#
# PICTURE (default examples/lake.png) is scaled by G'MIC to 1920 x 1080 and 6000 x 4000 first.
# Each size runs both programs N times (default 3), alternating, and prints the median wall
# and user CPU times, the ratio tarnwell / G'MIC, tarnwell's steps from TARNWELL_TIMINGS
# (medians) and both output files' sizes. Needs `gmic` (Debian package gmic); without it the
# script says so and exits 0.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
bin=$here/build/linux/bin
runs=3
picture=$here/examples/lake.png
while [ $# -gt 0 ]; do
    case $1 in
        --bin) bin=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "simple_vs_gmic: unknown option $1" >&2; exit 2 ;;
        *) picture=$1; shift ;;
    esac
done
if ! command -v gmic >/dev/null 2>&1; then
    echo "simple_vs_gmic: gmic is not installed (apt-get install gmic); nothing measured"
    exit 0
fi
if [ ! -x "$bin/tarnwell" ]; then
    echo "simple_vs_gmic: no $bin/tarnwell; build first (cmake --build --preset linux)" >&2
    exit 1
fi
if [ ! -x /usr/bin/time ]; then
    echo "simple_vs_gmic: needs /usr/bin/time (Debian package time)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
for size in 1920x1080 6000x4000; do
    w=${size%x*}; h=${size#*x}
    in=$work/in_$size.png
    gmic -v - "$picture" resize $w,$h,1,3,5 cut 0,255 o "$in" >/dev/null 2>&1 ||
        { echo "simple_vs_gmic: gmic could not scale $picture" >&2; exit 1; }
    : >"$work/g_$size"; : >"$work/t_$size"; : >"$work/steps_$size"
    for ((i = 1; i <= runs; i++)); do
        /usr/bin/time -f '%e %U %M' -o "$work/time" \
            gmic -v - "$in" rows '0,{round(h*0.5)-1}' fx_reflect 100,1,110,160,190,64,30,1.5,0,0,7,1 \
            o "$work/gmic_$size.png" >/dev/null 2>&1 || { echo "simple_vs_gmic: gmic failed" >&2; exit 1; }
        tail -n1 "$work/time" >>"$work/g_$size"
        TARNWELL_TIMINGS=1 /usr/bin/time -f '%e %U %M' -o "$work/time" \
            "$bin/tarnwell" apply "$in" "$work/tw_$size.png" --set style=simple -q 2>"$work/steps" ||
            { echo "simple_vs_gmic: tarnwell failed:" >&2; cat "$work/steps" >&2; exit 1; }
        tail -n1 "$work/time" >>"$work/t_$size"
        grep '^  ' "$work/steps" | sed -E 's/^  (.*[^ ]) +([0-9.]+)$/\1|\2/' >>"$work/steps_$size"
    done
    gw=$(cut -d' ' -f1 "$work/g_$size" | median); gu=$(cut -d' ' -f2 "$work/g_$size" | median)
    tw=$(cut -d' ' -f1 "$work/t_$size" | median); tu=$(cut -d' ' -f2 "$work/t_$size" | median)
    gm=$(cut -d' ' -f3 "$work/g_$size" | median); tm=$(cut -d' ' -f3 "$work/t_$size" | median)
    echo
    echo "$w x $h, median of $runs:"
    printf '  %-10s wall %7.2f s  user %7.2f s  peak %5d MiB  PNG %6.1f MiB\n' gmic "$gw" "$gu" $((gm / 1024)) \
        "$(stat -c %s "$work/gmic_$size.png" | awk '{print $1 / 1048576}')"
    printf '  %-10s wall %7.2f s  user %7.2f s  peak %5d MiB  PNG %6.1f MiB\n' tarnwell "$tw" "$tu" $((tm / 1024)) \
        "$(stat -c %s "$work/tw_$size.png" | awk '{print $1 / 1048576}')"
    printf '  tarnwell / gmic: wall %.2fx, user %.2fx\n' \
        "$(echo "$tw $gw" | awk '{print $1 / $2}')" "$(echo "$tu $gu" | awk '{print $1 / $2}')"
    echo "  tarnwell's steps (median seconds):"
    cut -d'|' -f1 "$work/steps_$size" | awk '!seen[$0]++' | while read -r step; do
        printf '    %-44s %7.3f\n' "$step" "$(grep -F "$step|" "$work/steps_$size" | cut -d'|' -f2 | median)"
    done
done
