#!/bin/sh
# Renders every shipped icon with rsvg-convert and lays them out as contact sheets, one per
# style and size, on the style's own background, for a person to look at. The small sizes
# are also enlarged pixel for pixel so blur and uneven weights show.
# Needs librsvg2-bin and ImageMagick. Output: build/icon-sheets/ (not tracked).
set -eu
root=${ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
out="$root/build/icon-sheets"
montage=/usr/bin/montage
convert=/usr/bin/convert
rm -rf "$out"
mkdir -p "$out"

bases="saisei teishi modoru skip 001 002 003 004 004_b 005 006 open"
for style in light dark; do
    dir="$root/style/$style"
    bg=$(sed -n 's/.*"BG_COLOR": *"\(#[0-9A-Fa-f]*\)".*/\1/p' "$dir/style.json")
    for size in 16 24 48; do
        work="$out/$style-$size"
        mkdir -p "$work"
        files=""
        for base in $bases; do
            case $base in saisei | teishi | modoru | skip) normal=${base}_normal ;; *) normal=$base ;; esac
            for name in $normal ${base}_on ${base}_active ${base}_mukou; do
                rsvg-convert -w "$size" -h "$size" --background-color="$bg" "$dir/$name.svg" -o "$work/$name.png"
                files="$files $work/$name.png"
            done
        done
        # shellcheck disable=SC2086 # the list is split on purpose
        $montage $files -tile 4x12 -geometry +4+4 -background "$bg" "$out/$style-$size.png"
        if [ "$size" -lt 48 ]; then
            $convert "$out/$style-$size.png" -filter point -resize 400% "$out/$style-$size-x4.png"
        fi
    done
done

# Built-in icons and the application icon, in black on white, and the app icon at its sizes.
work="$out/builtin"
mkdir -p "$work"
files=""
for svg in "$root"/tolmarenruviredarevod/resources/icons/*.svg; do
    name=$(basename "$svg" .svg)
    rsvg-convert -w 48 -h 48 --keep-aspect-ratio --background-color=white "$svg" -o "$work/$name.png"
    files="$files $work/$name.png"
done
# shellcheck disable=SC2086
$montage -label '%t' $files -tile x1 -geometry 48x48+6+6 -background white "$out/builtin-48.png"
for size in 16 32 48 128 256; do
    rsvg-convert -w $size -h $size "$root/app/resources/lumovox.svg" -o "$work/app-$size.png"
done
for bg in white '#1F2023'; do
    tag=$(echo "$bg" | tr -d '#')
    $montage "$work/app-16.png" "$work/app-32.png" "$work/app-48.png" "$work/app-128.png" "$work/app-256.png" \
        -geometry +8+8 -tile x1 -gravity center -background "$bg" "$out/app-$tag.png"
done
echo "sheets in $out"
