# shellcheck shell=bash
# Shell functions that run the workstation driver; sourced by the end-to-end scenarios,
# scripts/screenshots and ./run. They need WINE_RUN (the build tree's wine-run),
# WORKSTATION_DRIVER and WORKSTATION_EXE, and an X display.

# The Windows name of a host path: Wine sees the host's root as drive Z:.
winpath() {
    local path
    path=$(realpath -m -- "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# drive_workstation DIR [DRIVER OPTION VALUE]...
# Runs the driver inside a Wine virtual desktop of its own, on an X display of its own (Xvfb);
# the driver starts the workstation with DIR as its working directory and writes
# DIR/report.txt. With SHOTS set to a folder, it answers the driver's screenshot requests there:
# NAME.rect in, NAME.png and NAME.done out. Bounded: the driver gives up after four minutes,
# this after four and a half, and then ends whatever of the run is left.
#
# The display of its own: Wine takes a window on another desktop that gets the X input focus
# for the user leaving this one, and the keys and clicks the driver makes then go nowhere; other
# programs' windows (other tests, a console) must not take it.
drive_workstation() {
    local dir=$1
    shift
    local desktop options=()
    desktop="e2e-$(basename "$dir")-$$"
    rm -f "$dir/report.txt"
    if [ -n "${SHOTS:-}" ]; then
        mkdir -p "$SHOTS"
        rm -f "$SHOTS"/*.rect "$SHOTS"/*.done
        options=(--shots "$(winpath "$SHOTS")")
    fi
    local xvfb display number
    number=$(mktemp)
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$number" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 100); do
        [ -s "$number" ] && break
        sleep 0.1
    done
    display=:$(cat "$number")
    rm -f "$number"
    # Wine starts its processes detached; the mark in their environment finds this run's.
    DISPLAY=$display E2E_RUN_MARK=$desktop LC_ALL=C.UTF-8 timeout -k 10 270 \
        "$WINE_RUN" explorer "/desktop=$desktop,800x700" \
        "$(winpath "$WORKSTATION_DRIVER")" --program "$(winpath "$WORKSTATION_EXE")" \
        --directory "$(winpath "$dir")" --report "$(winpath "$dir/report.txt")" \
        "${options[@]}" "$@" >"$dir/driver.log" 2>&1 &
    local wine=$!
    while kill -0 "$wine" 2>/dev/null; do
        if [ -n "${SHOTS:-}" ]; then
            local rect name left top width height
            for rect in "$SHOTS"/*.rect; do
                [ -f "$rect" ] || continue
                name=${rect%.rect}
                read -r left top width height <"$rect"
                # Without a window manager the virtual desktop sits in the screen's corner.
                import -display "$display" -window root -crop "${width}x${height}+${left}+${top}" +repage \
                    "$name.png" || echo "drive_workstation: no screenshot $name.png" >&2
                rm -f "$rect"
                touch "$name.done"
            done
        fi
        sleep 0.2
    done
    wait "$wine"
    local finished=0
    grep -qx 'done: yes' "$dir/report.txt" 2>/dev/null && finished=1
    if [ $finished -eq 0 ]; then
        # The driver did not finish within its limits: end what is left of this run, by id.
        local environ pid
        while read -r environ; do
            pid=${environ#/proc/}
            pid=${pid%/environ}
            case $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null) in
            *"$(basename "$WORKSTATION_EXE")"* | *"$(basename "$WORKSTATION_DRIVER")"* | *"$desktop"*)
                echo "drive_workstation: ending leftover process $pid" >&2
                kill -9 "$pid" 2>/dev/null
                ;;
            esac
        done < <(grep -lzx "E2E_RUN_MARK=$desktop" /proc/[0-9]*/environ 2>/dev/null)
    fi
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    [ $finished -eq 1 ]
}
