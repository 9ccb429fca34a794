# The fonts a Wine prefix gives the dialog templates, so that the dialogs come out the size
# they have on the handheld, and the prefix's screen. Source it; with WINE and WINEPREFIX
# set, call map_dialog_fonts while the prefix is made and prefix_settings at each start.

# The templates name "System" 9 pt (card test) and "ＭＳ Ｐゴシック" 9 pt (About). Wine
# would draw both with whatever wide font the machine has (Liberation Sans here: the
# card test dialog came out 246 px wide, wider than the 240 px screen). Both names are
# mapped to MS Sans Serif, the bitmap font Wine ships (sserife.fon; its 8 pt face,
# 6 x 13 dialog base units), copied into the prefix's Fonts folder because Wine 8 does
# not load the fonts of its own data folder.
#
# Wine takes a font of the very name asked for before any substitute. Wine 10 loads the
# bitmap system font (FONTS.FON, vgasys.fon or the locale's own) from its data folder, so
# "System" then exists and the substitute was never asked: the card test dialog came out
# 280 x 310. The prefix's FONTS.FON names MS Sans Serif instead, which leaves no font
# called "System" on either Wine. The sizes are then the same on every machine, in
# every locale: card test dialog client 206 x 226 px, About client 188 x 89 px.
WINE_FONTS=/usr/share/wine/fonts
DIALOG_FONT="MS Sans Serif"
DIALOG_FONT_FILE=sserife.fon

# import_reg: imports the registry lines on standard input (without the header).
# Registry values go in through a .reg file in UTF-16 with a byte order mark, which
# regedit reads the same whatever the locale; `reg add` on the command line garbles a
# non-ASCII face name without a UTF-8 locale.
import_reg() {
    local file
    file=$(mktemp --suffix=.reg -p "$WINEPREFIX/drive_c")
    { printf '\xff\xfe'
      { printf 'Windows Registry Editor Version 5.00\n\n'; cat; } | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE
    } >"$file"
    local status=0
    bounded 60 "$WINE" regedit /S 'C:\'"$(basename "$file")" >/dev/null 2>&1 || status=$?
    rm -f "$file"
    return $status
}

# map_dialog_fonts [WxH|none]: the fonts into a new prefix, and its settings (below).
map_dialog_fonts() {
    # With them Wine's own faces for captions (Tahoma) and caption buttons (Marlett).
    cp "$WINE_FONTS/$DIALOG_FONT_FILE" "$WINE_FONTS"/{tahoma,tahomabd,marlett}.ttf "$WINEPREFIX/drive_c/windows/Fonts/" &&
        prefix_settings "$@"
}

# prefix_settings [WxH|none]: writes the font mapping and, when given, the screen every
# program of the prefix gets: a Wine virtual desktop of that size (none: the display
# itself). Both Wines take the screen from the registry, for the desktop named Default;
# Wine 10 gave a program started with `explorer /desktop=NAME,WxH`, or in a desktop of
# another name set the same way, the whole display instead. Wine writes FONTS.FON
# anew when a program starts in a locale of another code page than the last, so a kept
# prefix gets these again at every start.
prefix_settings() {
    {
        cat <<EOF
[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]
"System"="$DIALOG_FONT"
"ＭＳ Ｐゴシック"="$DIALOG_FONT"

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]
"FONTS.FON"="$DIALOG_FONT_FILE"

EOF
        case ${1:-} in
            "") ;;
            none) printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"=-\n' ;;
            *) printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Default"\n\n'
               printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Default"="%s"\n' "$1" ;;
        esac
    } | import_reg
}
