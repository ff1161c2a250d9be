# Shared by scripts/test and scripts/run: installs the Debian packages that are missing.

# ensure_packages PKG...: one apt-get update, then installs only what is not installed yet.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [[ $(id -u) -ne 0 ]]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# The packages every build needs.
BUILD_PACKAGES=(cmake ninja-build g++ make pkg-config libx11-dev libglib2.0-dev)
# The root window: shared memory images, and the monitors from RandR or Xinerama.
BUILD_PACKAGES+=(libxext-dev libxrandr-dev libxinerama-dev)
# Photos: JPEG (libjpeg-turbo) and PNG decoding, and pixman's filters to scale them.
BUILD_PACKAGES+=(libjpeg62-turbo-dev libpng-dev libpixman-1-dev)
# The packages the tests need on top: a display, schemas, and tools that make real bitmaps.
TEST_PACKAGES=(googletest libgtest-dev clang libclang-rt-14-dev xvfb xauth x11-utils
    gsettings-desktop-schemas libglib2.0-bin imagemagick netpbm)
# The Qt programs: widgets, the SVG icons, and the platform plugins that open a window.
QT_PACKAGES=(qt6-base-dev qt6-svg-dev qt6-qpa-plugins)
# Checks of the desktop entry, and keyboard input for the end-to-end test of velumdesk.
TEST_PACKAGES+=(desktop-file-utils xdotool)
# A private session bus and a real xfconfd for the Xfce desktop call; xfconf-query needs
# the library, which xfconf only recommends.
TEST_PACKAGES+=(dbus-daemon xfconf libxfconf-0-3)
# Monitors set up on Xvfb (xrandr), and a headless sway with its background and screenshot tools.
TEST_PACKAGES+=(x11-xserver-utils sway swaybg grim)
# The Debian package: its dependencies (dpkg-shlibdeps), and checks of the metadata and man pages.
TEST_PACKAGES+=(appstream dpkg-dev man-db)
# The Windows build: the mingw-w64 cross compilers (32- and 64-bit) and Wine to run its tests:
# 32-bit Wine for the 32-bit build, 64-bit Wine for the 64-bit test build on kernels that cannot
# run 32-bit programs.
WINDOWS_PACKAGES=(mingw-w64 wine wine32:i386 wine64)
# The Windows programs' icon, made from data/velum.svg at build time.
WINDOWS_PACKAGES+=(librsvg2-bin icoutils)
# The setup program (NSIS through CPack).
WINDOWS_PACKAGES+=(nsis)

# 32-bit Wine comes from the i386 architecture; adding it before ensure_packages lets its one
# apt-get update fetch the i386 lists too.
ensure_i386_architecture() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        local sudo=()
        if [[ $(id -u) -ne 0 ]]; then
            sudo=(sudo)
        fi
        "${sudo[@]}" dpkg --add-architecture i386
    fi
}

# True when this kernel runs 32-bit x86 programs, which 32-bit Wine is.
runs_32bit_programs() {
    local loader=/usr/lib/wine/wine
    [[ -x $loader ]] || return 1
    "$loader" --version >/dev/null 2>&1
    [[ $? -ne 126 ]]
}
