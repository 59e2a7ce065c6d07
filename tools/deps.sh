#!/usr/bin/env bash
# Installs the Debian packages Brakkle builds with and fetches JUCE 8.0.6.
#   tools/deps.sh              both; prints the JUCE tree's path
#   tools/deps.sh --packages   the packages only (tools/check-juce brings its own tree)
#
# JUCE comes as Debian's source package from the newer suite, downloaded and
# verified by apt itself (signed Release -> signed .dsc -> SHA-256 of each file),
# with a private source list and private state, so the system's own apt
# configuration is never touched. The mirror is read from the system's apt
# sources. The unpacked, patched tree lives outside git (see JUCE_DIR below).
set -euo pipefail

JUCE_VERSION="8.0.6+ds-2"
JUCE_SUITE="trixie"
ORIG_SHA256="4126ec8066866a1ccbc9cdd2beac712fd51e55ac7f24d8fdc45077b187a358ef  juce_8.0.6+ds.orig.tar.xz"
DEBIAN_SHA256="98f781365d85d35639b5c47416b769c3d68ad9858c8559fc6c80bb95710976a1  juce_8.0.6+ds-2.debian.tar.xz"

DEPS_DIR="${BRAKKLE_DEPS_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/brakkle}"
JUCE_DIR="$DEPS_DIR/juce-8.0.6"

PACKAGES=(build-essential cmake pkgconf dpkg-dev ccache
          libasound2-dev libfreetype-dev libfontconfig-dev libpng-dev libjpeg-dev zlib1g-dev
          libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev
          xvfb xauth libgtest-dev libgmock-dev libbenchmark-dev debian-archive-keyring
          fonts-dejavu-core
          clang-14 libclang-rt-14-dev
          lilv-utils sordi lv2-dev lintian)

say() { printf 'brakkle deps: %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The first Debian mirror URI in the system's apt sources (deb822 or one-line form).
debian_mirror() {
    local uri=""
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        uri=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i ~ /\/debian\/?$/) { print $i; exit } }' "$f")
        [ -n "$uri" ] && break
    done
    if [ -z "$uri" ]; then
        uri=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
              | awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\/.*\/debian\/?$/) { print $i; exit } }' | head -n 1)
    fi
    [ -n "$uri" ] || die "no Debian mirror found in /etc/apt/sources.list{,.d}"
    printf '%s\n' "${uri%/}"
}

fetch_juce() {
    if [ -f "$JUCE_DIR/CMakeLists.txt" ] && [ -f "$JUCE_DIR/.brakkle-verified" ]; then
        return 0
    fi
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    [ -f "$keyring" ] || die "missing $keyring (package debian-archive-keyring)"
    local mirror; mirror=$(debian_mirror)
    # A private apt state under /tmp: apt's _apt user cannot enter root's home.
    local work; work=$(mktemp -d /tmp/brakkle-apt.XXXXXX)
    trap "rm -rf '$work'" EXIT
    rm -rf "$JUCE_DIR"
    mkdir -p "$work/lists/partial" "$work/download" "$work/etc/sources.list.d"
    printf 'deb-src [signed-by=%s] %s %s main\n' "$keyring" "$mirror" "$JUCE_SUITE" > "$work/etc/sources.list"
    # apt drops privileges to _apt for downloads: it must reach these folders.
    chmod 755 "$work" "$work/lists" "$work/download" "$work/etc" "$work/etc/sources.list.d"
    chmod 644 "$work/etc/sources.list"
    chmod 700 "$work/lists/partial"
    if id _apt >/dev/null 2>&1 && [ "$(id -u)" -eq 0 ]; then
        chown _apt "$work/lists/partial" "$work/download"
    fi
    local apt_opts=(-o "Dir::Etc::sourcelist=$work/etc/sources.list"
                    -o "Dir::Etc::sourceparts=$work/etc/sources.list.d"
                    -o "Dir::State::Lists=$work/lists"
                    -o "APT::Sandbox::User=_apt")
    say "reading the $JUCE_SUITE source index"
    apt-get "${apt_opts[@]}" update -qq \
        || die "could not read the $JUCE_SUITE source index from the Debian archive (network or mirror unreachable)"
    say "downloading juce $JUCE_VERSION"
    (cd "$work/download" && apt-get "${apt_opts[@]}" source --download-only -qq "juce=$JUCE_VERSION") \
        || die "could not download the juce $JUCE_VERSION source package"
    (cd "$work/download" && printf '%s\n%s\n' "$ORIG_SHA256" "$DEBIAN_SHA256" | sha256sum --check --quiet) \
        || die "juce source files do not match their expected SHA-256"
    say "unpacking and applying Debian's patches"
    (cd "$work/download" && dpkg-source --no-check -x "juce_${JUCE_VERSION}.dsc" "$JUCE_DIR" >/dev/null) \
        || die "dpkg-source could not unpack juce"
    touch "$JUCE_DIR/.brakkle-verified"
}

main() {
    mkdir -p "$DEPS_DIR"
    install_packages
    [ "${1:-}" = "--packages" ] && return 0
    fetch_juce
    printf '%s\n' "$JUCE_DIR"
}

main "$@"
