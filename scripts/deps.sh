# Sourced by scripts/test, scripts/demo and scripts/abi-baseline: installs the
# Debian packages the project needs when any is missing. Idempotent; works as
# root or via sudo.
KV_PACKAGES="cmake g++ ninja-build pkg-config libgtest-dev libgmock-dev qt6-base-dev qt6-svg-dev libx11-dev xvfb xauth fonts-dejavu-core binutils locales nlohmann-json3-dev libcli11-dev libserialport-dev clang libclang-rt-14-dev dpkg-dev file lintian appstream desktop-file-utils shared-mime-info man-db abigail-tools qt6-httpserver-dev qt6-websockets-dev liblo-dev libqrencode-dev xdg-utils libglib2.0-bin chromium"

kv_install_deps() {
    local missing=""
    for p in $KV_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    local SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
}
