#!/bin/sh
# Sets up a Debian 12 machine for this repository, builds it and runs it.
#   ./build.sh run    install what is missing, build in Release, start the game
#   ./build.sh test   install what is missing, build, and run every test (a plain
#                     Release build, the engine built alone without ALSA and with its
#                     plain kernels only, and an address/undefined-behaviour sanitizer
#                     build)
# Both build with warnings as errors (-DKELVORO_WERROR=ON), as CI runs ./build.sh test.
set -eu
cd "$(dirname "$0")"

packages="cmake g++ make libgtest-dev libbenchmark-dev libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev fonts-comic-neue xvfb xauth qt6-base-dev libgl-dev libasound2-dev libsoxr-dev pkg-config lame twolame sox desktop-file-utils man-db dpkg-dev lintian"
jobs=$(nproc)

install_missing() {
    missing=""
    for package in $packages; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing="$missing $package"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        apt-get update -q
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
    else
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo apt-get install$missing" >&2
        exit 1
    fi
}

build() {  # build FOLDER [cmake options], warnings as errors
    folder=$1
    shift
    # Quiet when configuring goes well; when it fails (or warns), what cmake said is shown,
    # as the reason is often in its status lines ("Could NOT find ...").
    if ! log=$(cmake -S . -B "$folder" -DKELVORO_WERROR=ON "$@" 2>&1); then
        printf '%s\n' "$log" >&2
        echo "build.sh: configuring $folder failed" >&2
        exit 1
    fi
    case "$log" in *"CMake Warning"* | *"CMake Deprecation Warning"*) printf '%s\n' "$log" >&2 ;; esac
    cmake --build "$folder" -j "$jobs"
}

case "${1:-}" in
    run)
        install_missing
        build build/release -DCMAKE_BUILD_TYPE=Release
        exec build/release/bin/kelvoro
        ;;
    test)
        install_missing
        build build/release -DCMAKE_BUILD_TYPE=Release
        ctest --test-dir build/release --output-on-failure -j "$jobs"
        build build/engine -DCMAKE_BUILD_TYPE=Release \
            -DKELVORO_GAME=OFF -DKELVORO_TUNEPRESS=OFF -DKELVORO_BENCHMARKS=OFF -DCMAKE_DISABLE_FIND_PACKAGE_ALSA=ON \
            -DKELVORO_AVX2_KERNELS=OFF
        ctest --test-dir build/engine --output-on-failure -j "$jobs"
        build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKELVORO_SANITIZE=ON
        ctest --test-dir build/sanitize --output-on-failure -j "$jobs"
        ;;
    *)
        echo "usage: ./build.sh run|test" >&2
        exit 2
        ;;
esac
