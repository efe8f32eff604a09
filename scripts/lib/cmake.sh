# Configuring and building a CMake tree quietly. Source it; it defines functions only.

# configure_and_build SOURCE TREE LOG [CONFIGURE-ARGS...] [-- BUILD-ARGS...]: configures SOURCE
# into TREE and builds it on every core, writing both steps to LOG. On failure it shows the
# configure log whole, or the last 80 lines of the build, and returns non-zero.
configure_and_build() {
    local source=$1 tree=$2 log=$3
    shift 3
    local configure=() build=()
    while [ $# -gt 0 ]; do
        if [ "$1" = -- ]; then
            shift
            build=("$@")
            break
        fi
        configure+=("$1")
        shift
    done
    cmake -S "$source" -B "$tree" "${configure[@]}" > "$log" 2>&1 || { cat "$log"; return 1; }
    cmake --build "$tree" -j"$(nproc)" "${build[@]}" >> "$log" 2>&1 || { tail -n 80 "$log"; return 1; }
}
