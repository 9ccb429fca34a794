# How our scripts run Wine: Debian's 64-bit Wine, quiet but for a DLL that is not found,
# no Mono or Gecko installers and no menu entries on the host. Source it; WINE,
# WINESERVER, WINEDEBUG and WINEDLLOVERRIDES may be set beforehand.
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEDEBUG=${WINEDEBUG:--all,err+module}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export WINEARCH=win64

# winpath FILE: the name a Windows program gives FILE (drive Z: is this machine's root).
winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
