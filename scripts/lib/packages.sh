# Installing Debian packages, only those that are missing. Source it; it defines functions only.

# install_missing TAG PACKAGE...: installs the packages of the list that are not installed. With
# all of them present it prints nothing, installs nothing and needs no network. TAG starts the
# line (on stderr) that says what is being installed.
install_missing() {
    local tag=$1
    shift
    local missing=() package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "$tag: installing ${missing[*]}" >&2
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
