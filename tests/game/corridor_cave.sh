# Sourced by the command tests: corridor_cave FILE writes a corridor cave to FILE.
corridor_cave() {
    s=9999999999999999999999999999999999999999
    { echo need 3 value 5 time 50; echo $s; echo 9F2220X00${s#?????????}; yes $s | head -23; } > "$1"
}
