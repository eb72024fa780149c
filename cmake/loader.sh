# Sourced by the scripts that start Wine programs; WINEARCH must be set.
# wine: the loader for the prefix's architecture. A 64-bit prefix takes the
# 64-bit loader, which starts the prefix's 32-bit programs itself where the
# machine can run them; Debian's "wine" always starts the 32-bit loader.
# runs32: whether this machine runs 32-bit programs at all. A kernel whose
# 32-bit emulation is off (ia32_emulation) refuses Wine's 32-bit loader, and
# with it every 32-bit prefix and every 32-bit Windows program.
if [ "$WINEARCH" = win64 ]; then
    wine=/usr/lib/wine/wine64
else
    wine=wine
fi
runs32() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}
no32="this machine runs no 32-bit programs (its kernel's 32-bit emulation is off)"
