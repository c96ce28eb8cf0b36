# Sourced by the scripts: installs the Debian packages a step needs when they are missing.
# As root it installs them with apt-get; otherwise it names them and stops.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    ((${#missing[@]} == 0)) && return 0
    if [ "$(id -u)" = 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "Corvane needs these packages; please install them first:" >&2
        echo "  sudo apt-get install ${missing[*]}" >&2
        exit 1
    fi
}

# What it takes to build and run Corvane.
CORVANE_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
    qt6-qpa-plugins libgl-dev libxkbcommon-dev libspng-dev zlib1g-dev libhwy-dev libmpfr-dev)
# What the tests and benchmarks need on top.
CORVANE_TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth python3)
# What the frame and video scripts use, and their tests: ffmpeg encodes the videos
# (make-video.sh), GNU parallel runs frame jobs on one or several machines.
CORVANE_TOOL_PACKAGES=(ffmpeg parallel)
# What tiles-to-pyramid.sh joins tiles with (installed by that script alone).
CORVANE_PYRAMID_PACKAGES=(libvips-tools)
