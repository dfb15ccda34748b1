# Sourced by scripts/run and scripts/test: everything but the installing of packages runs as
# the user who started the script. Started through sudo, that is $SUDO_USER, with that user's
# home and session, so the build folders, DB.txt and Options.ini are the user's own; started
# by a user, or by root itself (CI), it is that user.

# Runs the command as the invoking user.
as_invoking_user() {
    if [[ $(id -u) != 0 || -z ${SUDO_USER:-} || $SUDO_USER == root ]]; then
        "$@"
        return
    fi
    local uid
    uid=$(id -u "$SUDO_USER")
    local session=()
    # sudo drops the session's runtime folder; the desktop's services are found through it.
    if [[ -d /run/user/$uid ]]; then
        session=(XDG_RUNTIME_DIR="/run/user/$uid")
    fi
    # runuser sets HOME, USER, LOGNAME and SHELL from the user's entry and keeps the rest
    # (DISPLAY, XAUTHORITY and whatever sudo passed on).
    runuser -u "$SUDO_USER" -- env "${session[@]}" "$@"
}

# Stops with advice when a folder the script writes exists but the invoking user cannot
# write it (left by an earlier run as root).
require_writable_by_invoking_user() {
    local folder
    for folder in "$@"; do
        if [[ -e $folder ]] && ! as_invoking_user test -w "$folder"; then
            local user=${SUDO_USER:-$(id -un)}
            echo "$(basename "$0"): $PWD/$folder cannot be written by $user" \
                 "(left by an earlier run as root?)." >&2
            echo "$(basename "$0"): give it to $user (sudo chown -R $user $folder) or remove it." >&2
            exit 1
        fi
    done
}
