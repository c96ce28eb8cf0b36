#!/usr/bin/env bash
# Deep pictures, measured: for each escape-time type, views 1e-30, 1e-100 and 1e-300 wide
# (160 x 120 pixels) around a point on the edge of its set, the counts of 500 sampled
# pixels by perturbation against a direct iteration in arbitrary precision (64 bits
# more than the view's). Prints per type and depth the share of identical counts, the
# range of counts, how many pixels the engine itself counted directly, and for every
# difference why (a direct iteration at 256 more bits, and how near the bailout the
# iterate was). Fails when a view is below 99.9% identical.
#   bash scripts/deep-correctness.sh                     # expects the build of build-dev
#   bash scripts/deep-correctness.sh --type 6 --samples 2000 --depth 1e-200
#   CORVANE_BUILD_DIR=build bash scripts/deep-correctness.sh
# Takes a few minutes: the direct iterations cost milliseconds per pixel at 1e-300.
#
# With --minibrots first, the four views of small copies of the Mandelbrot set that
# bench/deep_speed_bench.cpp times (96 x 72 pixels, limit 200,000), 2000 distinct pixels
# each, by the fast and the plain perturbation against direct iteration on all cores; every
# difference is tried again at finer precision and at points 2^-30 of a pixel away. Further
# arguments go to each run (e.g. --samples 6912 for every pixel). Takes about seven
# minutes on two cores.
#   bash scripts/deep-correctness.sh --minibrots
#   bash scripts/deep-correctness.sh --minibrots --samples 500
#   bash scripts/deep-correctness.sh --minibrots --exact-counts   # the pixels double
#                                      # differences cannot decide, counted again
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build-dev}
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "deep-correctness: configure the build first (cmake --preset dev)" >&2
    exit 1
fi
cmake --build "$build" --target corvane-deep-check -j2 >/dev/null
check="$build/tools/deep_check/corvane-deep-check"
if [ "${1:-}" != "--minibrots" ]; then
    "$check" --samples 500 "$@"
    exit
fi
shift
# name, width, x, y: the centres digit for digit as the benchmark has them.
minibrots=(
    "period 11840" "2e-30"
    "-7.439086258021729736680676762969985214505741544e-01"
    "1.317089375324277830137106376740885980181079638e-01"
    "period 4995" "6e-106"
    "-4.794357577070157100725407212267819018574062133462339358175363939682604340521661604\
47698176242216846583974093152496982217688847e-51"
    "1.0000000000000000000000000000000000000000000000000023923271004077707276714428869498\
7204790790457545606458686506875463607027431e+00"
    "period 14837" "4e-306"
    "1.3727452741504302492262742896624338692685441784380163543762177957474653409182280654\
553333582443609194444405861746846676428834309565078944831721510299674822840521497610\
902557176639117957293370677445622453865434161280897617452790785252036349289595506159\
436228062185672323551145163003578589774047398317120287785505824105416802419e-151"
    "9.9999999999999999999999999999999999999999999999999999999999999999999999999999999999\
999999999999999999999999999999999999999999999999999999999999999999958928550142606027\
609044311945306240215327695383360298998461414750701169868902115544288729913025174378\
113582335609348837052617248967084039695052610662823869906904543040779463059e-01"
    "period 799" "4.225191e-600"
    "6.6962864091698932795373409225691257388721744378257520040885806974796411794129028237\
517352704921568228637289426214127349266244642287900213318556349365851652664396353722\
945911557151199353832159279773839224490355896636622174783762548235283491743900633049\
213362681550867962300959595633374045041279040207607825e-301"
    "0.9999999999999999999999999999999999999999999999999999999999999999999999999999999999\
999999999999999999999999999999999999999999999999999999999999999999999999999999999999\
999999999999999999999999999999999999999999999999999999999999999999999999999999999999\
999999999999999999999999999999999999999999999999996658633155489613333812083824404344\
963325624291641551639927572273754973605843243593552193195420913187462321665323630079\
645176354608883401015212302805042025443507531154854522403917526878800112235684480105\
196201736021404852539703912890436419469011022508354214908336178746271088753464705388\
48243023401433293402"
)
status=0
for ((k = 0; k < ${#minibrots[@]}; k += 4)); do
    echo "${minibrots[k]} at ${minibrots[k + 1]}"
    "$check" --at "${minibrots[k + 2]}" "${minibrots[k + 3]}" "${minibrots[k + 1]}" \
        --limit 200000 --size 96x72 --samples 2000 "$@" || status=1
done
exit $status
