# The fonts a Wine prefix gives the dialog templates, so that the dialogs come out the
# size they have on the handheld. Source it, then call map_dialog_fonts with WINE,
# WINESERVER and WINEPREFIX set, while the prefix is being made.
#
# The templates name "System" 9 pt (card test) and "ＭＳ Ｐゴシック" 9 pt (About). Wine
# would draw both with whatever wide font the machine has (Liberation Sans here: the
# card test dialog came out 246 px wide, wider than the 240 px screen). Both names are
# mapped to MS Sans Serif, the bitmap font Wine ships (sserife.fon; its 8 pt face,
# 6 x 13 dialog base units), copied into the prefix's Fonts folder because Wine 8 does
# not load the fonts of its own data folder. The sizes are then the same on every
# machine: card test dialog 212 x 251 px, About 194 x 114 px.
WINE_FONTS=/usr/share/wine/fonts
DIALOG_FONT="MS Sans Serif"
DIALOG_FONT_FILE=sserife.fon
FONT_SUBSTITUTES='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'

map_dialog_fonts() {
    # With them Wine's own faces for captions (Tahoma) and caption buttons (Marlett).
    cp "$WINE_FONTS/$DIALOG_FONT_FILE" "$WINE_FONTS"/{tahoma,tahomabd,marlett}.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    local face
    for face in System 'ＭＳ Ｐゴシック'; do
        "$WINE" reg add "$FONT_SUBSTITUTES" /v "$face" /d "$DIALOG_FONT" /f </dev/null >/dev/null 2>&1
    done
}
