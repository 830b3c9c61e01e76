# Sourced by the install tests: game_plays KELVORO SOURCE WORK checks that an installed
# game wins cave 1 headless and starts on screen, which it does only when it finds its
# files. It calls the test's own `fail`.
game_plays() {
    "$1" --headless --cave 1 --replay "$2/game/solutions/cave01.replay" |
        grep -q ' outcome exit cave 1 ' || fail "$1 does not win cave 1"
    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$1" --windowed --frames 3 --screenshot "$3/title.bmp" ||
        fail "$1 does not start on screen"
    [ "$(wc -c < "$3/title.bmp")" -gt 100000 ] || fail "$1 took too small a screenshot"
}
