# Sourced, not run, by run.sh, test.sh, ci-fuzz.sh, startup-bench.sh and
# sound-servers.sh (and through it by av-sync.sh and with-sound-server.sh):
# installs the missing Debian packages, builds, waits, and starts a private X
# server for the measuring scripts. with-mode-server.sh and
# with-wayland-server.sh stand alone. BRINDLE_BUILD_DIR chooses the build
# folder: build/ by default, build-sanitize/ when BRINDLE_SANITIZE=1 asks for
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer, build-tsan/
# when BRINDLE_SANITIZE=thread asks for ThreadSanitizer (the two cannot share
# a build).

brindle_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
brindle_sanitize="${BRINDLE_SANITIZE:-0}"
case "$brindle_sanitize" in
    0) brindle_build="${BRINDLE_BUILD_DIR:-$brindle_root/build}" ;;
    1) brindle_build="${BRINDLE_BUILD_DIR:-$brindle_root/build-sanitize}" ;;
    thread) brindle_build="${BRINDLE_BUILD_DIR:-$brindle_root/build-tsan}" ;;
    *) echo "BRINDLE_SANITIZE must be 0, 1 or thread, not '$brindle_sanitize'" >&2; exit 2 ;;
esac

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

# Installs what scripts/packages.txt lists, and the lists named as arguments.
install_missing_packages() {
    local wanted=() missing=() package list
    for list in "$brindle_root/scripts/packages.txt" "$@"; do
        mapfile -t -O "${#wanted[@]}" wanted < <(grep -v '^\s*#' "$list" | grep -v '^\s*$')
    done
    for package in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}" >&2
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# The locale tests need a locale that writes decimal commas.
generate_test_locale() {
    if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
        as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
    fi
}

build_brindle() {
    local sanitize=OFF
    case "$brindle_sanitize" in
        1) sanitize=ON ;;
        thread) sanitize=thread ;;
    esac
    cmake -S "$brindle_root" -B "$brindle_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLE_SANITIZE="$sanitize"
    cmake --build "$brindle_build" -j"$(nproc)"
}

# Waits up to `seconds` (default 5) for a command to succeed.
wait_until() {  # [--seconds N] command...
    local tries=100 _
    if [ "$1" = --seconds ]; then
        tries=$(($2 * 20))
        shift 2
    fi
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}

# Starts an Xvfb of its own on the first free display, its files (and its
# log, xvfb.log) in `dir`; sets private_display (e.g. :5) and private_xvfb (its
# pid) for the caller to stop. Any further words run before Xvfb (e.g. nice -n
# 19). -displayfd: Xvfb writes the display number once it accepts
# connections; that is waited for up to 10 s, or until Xvfb has died.
# -noreset: a bare Xvfb resets when its last client leaves and refuses a
# client that connects during the reset.
start_private_xvfb() {  # dir [prefix...]
    local dir="$1" _
    shift
    "$@" Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$dir/display" \
        </dev/null >"$dir/xvfb.log" 2>&1 &
    private_xvfb=$!
    for _ in $(seq 200); do
        [ -s "$dir/display" ] && break
        kill -0 "$private_xvfb" 2>/dev/null || break
        sleep 0.05
    done
    if ! [ -s "$dir/display" ]; then
        echo "$(basename "$0"): Xvfb did not start:" >&2
        tail -n 20 "$dir/xvfb.log" >&2 || true
        return 1
    fi
    private_display=":$(head -n 1 "$dir/display")"
}

# Ends the script's own background processes: all are told at once, then
# each is waited for.
stop_processes() {  # pid...
    local pid
    for pid in "$@"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "$@"; do
        wait "$pid" 2>/dev/null || true
    done
}

# Exits with one line when a file the script needs has not been built.
require_built() {  # file...
    local file
    for file in "$@"; do
        [ -e "$file" ] || { echo "$(basename "$0"): $file is missing; build first (cmake --build $brindle_build)" >&2; exit 1; }
    done
}
