#!/usr/bin/env bash
# Real conversions: the launcher installed by `cmake --install`, Debian's Batik and FOP as the
# converter, the machine's Java, and for the download a real wget and 7-Zip against a server on
# 127.0.0.1.  Usage: conversion.sh INSTALLATION DATA JAVA_HOME CASE
set -u
installation=$(realpath "$1") data=$(realpath "$2") java_home=$3
launcher=$installation/tolvarine
work=$(mktemp -d) && cd "$work" || exit 2
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || fail "$1: got [$2], expected [$3]"; }
frame='============================'
convert() { cp -n "$data/$1" . && "$launcher" "$@" >out.txt 2>err.txt; status=$?; }
framed() { sed -n "/^$frame\$/,/^$frame\$/{/^$frame\$/d;p}" out.txt; }
report() { tail -n 1 out.txt; }

# Each drawing becomes a valid PDF with the product's producer; pixels are 96 per inch, and a
# drawing with only a viewBox of 800 x 400 gets 600 x 300 pt.
drawings() {
  for row in "shapes:225 x 150 pts" "text:300 x 150 pts" "gradients:" "viewbox:600 x 300 pts"; do
    name=${row%%:*} size=${row#*:}
    convert "$name.svg" -o "$name.pdf"
    expect "$name status" "$status" 1
    expect "$name frame" "$(framed)" "$(printf 'Converting %s.svg to %s.pdf\nDone.' "$name" "$name")"
    expect "$name report" "$(report)" "[OK] Create \"$name.pdf\" file successful."
    expect "$name errors" "$(cat err.txt)" ""
    info=$(pdfinfo "$name.pdf") || fail "$name: pdfinfo refuses the PDF"
    for line in "Pages:           1" "Producer:        Tolvarine SVG to PDF Converter" \
      "Page size:       $size"; do
      grep -qF "$line" <<<"$info" || fail "$name: no [$line] in $info"
    done
    qpdf --check "$name.pdf" >/dev/null || fail "$name: qpdf --check"
    # Nothing of the tools that the output filter renames may reach the user.
    ! grep -q -E 'cpdf|coherentpdf|tabula|Gnumeric' out.txt || fail "$name: a tool's name shown"
  done
  # Page sizes as rsvg-convert gives them: exact, a percentage taken from the viewBox, and
  # --width alone scaling the whole drawing (its far corner stays on the page).
  svg='<svg xmlns="http://www.w3.org/2000/svg"'
  echo "$svg width=\"100%\" height=\"100%\" viewBox=\"0 0 1104 632\"><rect x=\"900\"
    y=\"400\" width=\"204\" height=\"232\"/></svg>" >percent.svg
  echo "$svg width=\"614.4\" height=\"460.8\"/>" >fraction.svg
  echo "$svg><rect x=\"10\" y=\"10\" width=\"300\" height=\"50\" stroke=\"gray\"
    stroke-width=\"20\"/><circle cx=\"600\" r=\"1\"/></svg>" >painted.svg
  while IFS='|' read -r args size corner; do
    "$launcher" $args size.pdf >out.txt
    expect "$args" "$(pdfinfo size.pdf | sed -n 's/^Page size: *//p')" "$size"
    pdftoppm -scale-to-x 10 -scale-to-y 10 -singlefile -gray size.pdf corner
    expect "$args corner" "$(tail -c 1 corner.pgm | od -An -tu1 | xargs)" "$corner"
  done <<'END'
percent.svg|828 x 474 pts|0
percent.svg --width 500|375 x 214.674 pts|0
fraction.svg|460.8 x 345.6 pts|255
painted.svg|450.75 x 53.25 pts|255
END
  # A diagram's label, written as HTML with a text to fall back on, keeps its text.
  echo "$svg width=\"200\" height=\"50\"><switch><foreignObject width=\"200\" height=\"50\">
    <p xmlns=\"http://www.w3.org/1999/xhtml\">HTML</p></foreignObject><text x=\"5\" y=\"30\">
    Fallback label</text></switch></svg>" >label.svg
  "$launcher" label.svg label.pdf >out.txt
  expect "label" "$(pdftotext label.pdf - | xargs)" "Fallback label"
  # Latin, Cyrillic and Greek text is set in installed fonts, embedded, and comes back as text.
  fonts=$(pdffonts text.pdf)
  grep -q DejaVu <<<"$fonts" && ! grep -q ' no  ' <<<"$fonts" || fail "fonts: $fonts"
  text=$(pdftotext text.pdf -)
  for line in "Quarterly report" "Café € 100 — done" "Привет, мир" "Καλημέρα κόσμε"; do
    grep -qF "$line" <<<"$text" || fail "no [$line] in the text: $text"
  done
  # The face that font matching chooses (Lato's Regular beside its Thin; its Hairline, 100 by
  # its own table, for weight 100), Arial's metric-
  # compatible stand-in, a script that the font lacks drawn with one that has it (Japanese
  # with Noto CJK, as shapes), a line for characters that no font has, text with no font
  # named in Times New Roman's stand-in, and sans-serif as fontconfig chooses it.
  echo "$svg width=\"400\" height=\"100\"><text y=\"30\" font-family=\"Lato\">Regular</text>
    <text y=\"60\" font-family=\"Arial\">Arial नमस्ते</text><text y=\"90\">日本語 😀&#xE000;</text><text x=\"200\" y=\"90\">Serif</text>
    <text x=\"200\" y=\"30\" font-family=\"sans-serif\">Sans</text>
    <text x=\"300\" y=\"30\" font-family=\"Lato\" font-weight=\"100\">Hairline</text></svg>" \
    >scripts.svg
  "$launcher" scripts.svg scripts.pdf >out.txt
  expect "faces" "$(pdffonts scripts.pdf | sed -n 's/^[A-Z]*+\([^ ]*\).*/\1/p' | sort | xargs)" \
    "$(printf '%s\n' Lato-Hairline Lato-Regular LiberationSans LiberationSerif NotoSansDevanagari-Regular \
      "$(fc-match -f '%{postscriptname}' sans-serif)" | sort -u | xargs)"
  grep -qF "Arial नमस्ते" <<<"$(pdftotext scripts.pdf -)" || fail "no fallback: $(cat out.txt)"
  expect "no font" "$(framed | sed -n 2,3p)" 'scripts.svg:2:57: warning: no installed font can draw the emoji and symbol characters of "😀"; drawn as "#"; install fonts-symbola
scripts.svg:2:57: warning: no installed font can draw the private-use characters of "U+E000"; drawn as "#"'
  # Right-to-left text in reading order, Arabic joined: as rsvg-convert draws it.
  echo "$svg width=\"200\" height=\"60\" font-family=\"DejaVu Sans\" font-size=\"24\">
    <text x=\"5\" y=\"25\">مرحبا بالعالم</text><text x=\"5\" y=\"55\">שלום עולם</text></svg>" >rtl.svg
  "$launcher" rtl.svg rtl.pdf >out.txt; rsvg-convert -f pdf rtl.svg -o rtl-rsvg.pdf
  expect "right to left" "$(alike rtl.pdf rtl-rsvg.pdf)" 1
  # A font of the drawing's own, as a data: address in its style sheet, draws the text as the
  # same font installed does.
  font=$(base64 -w0 /usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf)
  for family in Own "Liberation Mono"; do
    echo "$svg width=\"300\" height=\"60\"><style>@font-face { font-family: Own; src:
      url(data:font/ttf;base64,$font); }</style><text x=\"5\" y=\"45\" font-size=\"40\"
      font-family=\"$family\">iii WWW</text></svg>" >face.svg
    "$launcher" face.svg "face-${family%% *}.pdf" >out.txt
  done
  expect "own font" "$(alike face-Own.pdf face-Liberation.pdf)" 1
}

# Whether two PDFs' pages look alike: fewer than 150 pixels of their pictures differ.
alike() {
  pdftoppm -r 48 -gray -singlefile "$1" one && pdftoppm -r 48 -gray -singlefile "$2" two
  paste <(od -An -v -tu1 -w1 one.pgm) <(od -An -v -tu1 -w1 two.pgm) |
    awk '$1 - $2 > 128 || $2 - $1 > 128 { n++ } END { print n + 0 < 150 }'
}

# Colours in every CSS form: a graph as graphviz draws it (its background's stroke is
# "transparent") and one square a form, each of the colour rsvg-convert gives it ("-": any).
colours() {
  dot -Tsvg "$data/graph.dot" -o graph.svg || fail "dot cannot draw the graph"
  "$launcher" graph.svg graph.pdf >out.txt
  expect "graph status" $? 1
  text=$(pdftotext graph.pdf -)
  grep -qF "Größe ≥ 5" <<<"$text" || fail "graph: no label in the text: $text"
  convert colours.svg colours.pdf
  expect "colours status" "$status" 1
  pdftoppm -r 24 -singlefile colours.pdf page
  header=$(head -n 3 page.ppm | wc -c)
  od -An -tu1 -v -j $((header + 3 * 84 * 3)) -N $((84 * 3)) page.ppm | xargs | awk -v want="\
    255,255,255 255,191,191 255,0,0 255,0,0 255,191,191 127,127,255 102,51,153 0,128,0 \
    127,127,255 - 128,191,128 127,127,255 255,0,0 0,255,0" '{
      for (i = 1; i <= split(want, w, " "); i++) {
        split(w[i], c, ","); x = ((i - 1) * 6 + 3) * 3
        got = $(x + 1) "," $(x + 2) "," $(x + 3)
        for (k = 1; k <= 3 && w[i] != "-"; k++)
          if ($(x + k) - c[k] > 3 || c[k] - $(x + k) > 3) { print i - 1 ": " got; break }
      } }' >wrong.txt
  expect "square colours" "$(cat wrong.txt)" ""
}

# A failed conversion keeps the existing PDF byte for byte and says where the drawing is
# broken; a refused run changes no file; a stopped one leaves neither a PDF nor its temporary
# files.
mistakes() {
  convert shapes.svg good.pdf && cp good.pdf kept.pdf && cp shapes.svg drawing.svg
  convert broken.svg good.pdf
  expect "broken status" "$status" 0
  expect "broken frame" "$(framed)" "$(printf '%s\n%s' 'Converting broken.svg to good.pdf' \
    'broken.svg:4:1: error: XML document structures must start and end within the same entity.')"
  expect "broken report" "$(report)" '[Error] Failed to create "good.pdf" file.'
  # Faults that other converters forgive: a line each, as compilers write them, and the rest
  # drawn; at most 20 such lines, then the count of the rest.
  convert faults.svg faults.pdf
  expect "faults status" "$status" 1
  expect "faults" "$(framed | sed 1d)" "$(cat <<'END'
faults.svg:3:3: warning: <rect> has no width; not drawn
faults.svg:4:3: warning: <circle> has a negative r (-2); not drawn
faults.svg:5:3: warning: fill="bogus(1)": the "fill" property does not support function values; ignored
faults.svg:6:3: warning: style="font-size: zz; fill: blue": the "zz" identifier is not a valid value for the "font-size" property; ignored
faults.svg:7:3: warning: d="M0 100 H50 V150 X 9" has an error at "X 9"; drawn up to it
faults.svg:8:3: warning: points="60 100 110 100 110 150 60" has an error at "60"; drawn up to it
faults.svg:13:16: warning: <use> href="#loop": the reference loops back to where it is made from; not drawn
faults.svg:14:3: warning: <use> href="#nowhere": no element has the id "nowhere"; not drawn
faults.svg:15:3: warning: fill="url(#nowhere)": no element has the id "nowhere"; not painted
faults.svg:16:3: warning: fill="context-fill": a context's paint is not supported; not painted
faults.svg:16:3: warning: clip-path="url(#g)": "#g" is a <linearGradient>, not a <clipPath>; ignored
faults.svg:17:18: warning: <feDropShadow> is not an SVG element the converter knows; ignored
faults.svg:18:3: warning: <image> href="missing.png" cannot be read; not drawn
faults.svg:19:3: warning: stroke: url(#nowhere): no element has the id "nowhere"; not painted
Done.
END
)"
  # The red square's mask draws nothing, so it hides the square.
  pdftoppm -r 9 -singlefile faults.pdf faults
  od -An -tu1 -v -j "$(head -n 3 faults.ppm | wc -c)" faults.ppm | xargs -n 3 |
    grep -qE '^2[0-9]{2} [0-9]{1,2} [0-9]{1,2}$' && fail "faults: a red pixel"
  printf '<svg xmlns="http://www.w3.org/2000/svg">%s</svg>' "$(printf '<rect/>%.0s' {1..23})" \
    >many.svg
  "$launcher" many.svg many.pdf >out.txt
  expect "many" "$(framed | tail -n 3 | cut -d: -f 1-4)" \
    "$(printf '%s\n' 'many.svg:1:174: warning' 'many.svg: 3 more warnings not shown' Done.)"
  mkfifo fifo.pdf
  files=$(ls -A)
  while IFS='|' read -r args says; do
    eval "set -- $args"
    LC_ALL=C.UTF-8 "$launcher" "$@" >out.txt
    expect "$args status" $? 0
    [[ $(framed) == *"$says"* ]] || fail "$args: no [$says] in $(framed)"
  done <<'END'
good.pdf shapes.svg|the output shapes.svg is a drawing's name
shapes.svg shapes.svg|the output shapes.svg is a drawing's name
shapes.svg drawing.svg/|the output drawing.svg/ ends in /
shapes.svg fifo.pdf|the output fifo.pdf is not a regular file
shapes.svg new.pdf --width 297mm|options go before the PDF's name: shapes.svg --width 297mm new.pdf
shapes.svg $'bad\xff.pdf'|the name bad?.pdf is not valid in the system's file-name encoding
shapes.svg --width 1e-30 new.pdf|--width 1e-30 gives a page side of 7.50e-31 pt; a side must be
shapes.svg --height 999999in new.pdf|--height 999999in gives a page side of 7.20e+07 pt
shapes.svg --height 200in new.pdf|--height 200in gives this drawing a page width of 21600 pt
END
  expect "files after refusals" "$(ls -A)" "$files"
  cmp -s good.pdf kept.pdf || fail "the good PDF changed"
  cmp -s shapes.svg drawing.svg || fail "the drawing changed"
  awk 'BEGIN { print "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"800\" height=\"800\">"
    for (i = 0; i < 20000; i++) printf "<circle cx=\"%d\" cy=\"%d\" r=\"3\"/>\n", i % 800, i / 25
    print "</svg>" }' >slow.svg
  mkdir tmp
  # The run's own Java (a stopped waiting converter is the waiting case's), and no converter
  # left to wait, whose own font cache would be in tmp while it waits.
  TOLVARINE_SERVER=0 JAVA_TOOL_OPTIONS="-Duser.home=$work/no-home -Djava.io.tmpdir=$work/tmp" \
    "$launcher" slow.svg slow.pdf >out.txt &
  for _ in $(seq 1000); do ls -A | grep -q '\.tmp$' && break || sleep 0.02; done
  # Killed outright, the launcher can pass nothing on: the system stops the converter for it.
  kill -KILL $!
  wait $!
  expect "stopped status" $? 137
  for _ in $(seq 500); do pgrep -f "convert.jar slow.svg" >/dev/null || break; sleep 0.02; done
  expect "left behind" "$(ls -A . tmp | grep -E '\.tmp$|slow\.pdf|fonts')" ""
}

# A run hands its conversion to a converter that waits for it, started by an earlier run of the
# same user, installation and environment: the same messages and the same PDF as the run's own
# conversion, a changed image drawn anew, a busy converter left alone, a stopped run's PDF and
# temporary file never left behind, and no converter met through a folder others may enter.
waiting() {
  # This case's runs meet a converter of their own; their messages say who converted.
  export TOLVARINE_TIMINGS=1 TOLVARINE_TEST_CASE=$work XDG_RUNTIME_DIR=$work/run
  mkdir -m 777 run run/tolvarine && chmod 777 run/tolvarine
  cp "$data/faults.svg" "$data/shapes.svg" .
  own() { grep -q "from the JVM's start" out.txt; }
  "$launcher" shapes.svg open.pdf >out.txt
  expect "open folder status" $? 1
  own || fail "converted through a folder others may enter: $(cat out.txt)"
  expect "open folder" "$(ls -A run/tolvarine)" ""
  chmod 700 run/tolvarine
  handed() {
    for _ in $(seq 150); do
      "$launcher" "$@" >out.txt 2>err.txt
      status=$?
      grep -q 'converted by the waiting converter' out.txt && return
      sleep 0.1
    done
    fail "no waiting converter took $*"
  }
  TOLVARINE_SERVER=0 "$launcher" faults.svg faults.pdf >own.txt
  handed faults.svg faults-handed.pdf
  expect "handed status" "$status" 1
  expect "handed messages" "$(grep -v '^timing:' out.txt | sed 's/faults-handed/faults/')" \
    "$(grep -v '^timing:' own.txt)"
  expect "handed PDF" "$(normal faults-handed.pdf | md5sum)" "$(normal faults.pdf | md5sum)"
  # A drawing that exhausts the stack fails as it does in the run's own Java, and the
  # converter, whose libraries it may have left unsound, ends.
  echo '<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100"><style>.r { fill:
    url(#p) }</style><pattern id="p" width="10" height="10" patternUnits="userSpaceOnUse"><rect
    class="r" width="5" height="5"/></pattern><rect class="r" width="100" height="100"/></svg>' \
    >loop.svg
  handed loop.svg loop.pdf
  expect "loop" "$(framed | grep -v '^timing:')" "$(printf '%s\n%s' 'Converting loop.svg to loop.pdf' \
    "Error: loop.svg: the drawing nests too deeply, or a style sheet's references loop")"
  "$launcher" shapes.svg shapes.pdf >out.txt
  own || fail "the converter that ran out of stack converted again: $(cat out.txt)"
  # A run with another umask meets a converter of its own, and its PDF gets the run's
  # permissions.
  (umask 077 && "$launcher" shapes.svg masked.pdf >out.txt)
  own || fail "another umask's run was handed over: $(cat out.txt)"
  expect "umask" "$(stat -c %a masked.pdf)" 600
  # Refused as the run itself refuses it, nothing written.
  handed shapes.svg shapes.svg
  expect "refused status" "$status" 0
  grep -qF "the output shapes.svg is a drawing's name" out.txt || fail "refused: $(cat out.txt)"
  # Batik keeps the images it has read: a file changed since is still drawn as it is now.
  for colour in red:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC \
    blue:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGNgYPgPAAEDAQAIicLsAAAAAElFTkSuQmCC; do
    base64 -d <<<"${colour#*:}" >dot.png
    echo '<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink"
      width="10" height="10"><image xlink:href="dot.png" x="-5" y="-5" width="20" height="20"/></svg>' \
      >image.svg
    handed image.svg image.pdf
    pdftoppm -r 7 -singlefile image.pdf image
    # The one pixel, smoothed into the white around it.
    expect "image ${colour%%:*}" "$(tail -c 3 image.ppm | od -An -tu1 | xargs)" \
      "$([ "${colour%%:*}" = red ] && echo '255 89 89' || echo '89 89 255')"
  done
  # While it converts, another run converts itself (and starts a second converter for the
  # next runs at once); a run stopped meanwhile has it stop too.
  awk 'BEGIN { print "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"800\" height=\"800\">"
    for (i = 0; i < 100000; i++) printf "<circle cx=\"%d\" cy=\"%d\" r=\"3\"/>\n", i % 800, i / 125
    print "</svg>" }' >slow.svg
  handed shapes.svg shapes.pdf
  "$launcher" slow.svg slow.pdf >slow.txt &
  for _ in $(seq 1000); do ls -A | grep -q '\.tmp$' && break || sleep 0.02; done
  "$launcher" shapes.svg busy.pdf >out.txt
  expect "busy status" $? 1
  own || fail "waited for the busy converter: $(cat out.txt)"
  kill -KILL $!
  wait $!
  for _ in $(seq 250); do ls -A | grep -q '\.tmp$' || break; sleep 0.02; done
  expect "left behind" "$(ls -A | grep -E '\.tmp$|slow\.pdf')" ""
  grep -q "converted by the waiting converter" slow.txt && fail "the stopped run ended well"
  # The stopped conversion's converter has ended: the next run finds nobody waiting.
  "$launcher" shapes.svg after.pdf >out.txt
  own || fail "the stopped conversion's converter still waits: $(cat out.txt)"
  # While the first converter is busy, the next run is handed to the second.
  handed shapes.svg first.pdf
  "$launcher" slow.svg slow.pdf >slow.txt &
  for _ in $(seq 1000); do ls -A | grep -q '\.tmp$' && break || sleep 0.02; done
  handed shapes.svg second.pdf
  kill -0 $! 2>/dev/null || fail "the second run was handed over only after the first ended"
  wait $!
  grep -q "converted by the waiting converter" slow.txt || fail "slow: $(cat slow.txt)"
  # A font installed while a converter waits ends it: Java's own font list is made once.
  mkdir -p home/.local/share/fonts
  export JAVA_TOOL_OPTIONS="-Duser.home=$work/home"
  handed shapes.svg fonts-before.pdf
  cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf home/.local/share/fonts/Extra.ttf
  "$launcher" shapes.svg fonts-after.pdf >out.txt
  own || fail "converted by a converter older than the font: $(cat out.txt)"
}

# The PDF's objects one per line, uncompressed, without what differs from run to run.
normal() {
  qpdf --qdf --object-streams=disable --deterministic-id "$1" - |
    sed -E 's#/(CreationDate|ModDate) \([^)]*\)##; /^ *\/ID \[/d'
}

# A link is followed to the file it names, also one not there yet, whose name of 255 bytes
# leaves room for the temporary file's; the PDF's bytes reach the disk before its name, and
# the folder's entry after it.
links() {
  long=$(printf 'n%.0s' {1..251}).pdf
  ln -s "$long" link.pdf && cp "$data/shapes.svg" .
  # Converted by this run's own Java, which strace follows, not by a waiting converter.
  TOLVARINE_SERVER=0 strace -f -qq -e trace=fsync,/rename -o trace.txt "$launcher" shapes.svg \
    link.pdf >out.txt
  expect "link status" $? 1
  [ -L link.pdf ] && [ -s "$long" ] || fail "link.pdf: $(ls -l)"
  expect "flushed" "$(sed -nE 's/^[0-9]+ +(fsync|rename)\(.*/\1/p' trace.txt | xargs)" \
    "fsync rename fsync"
}

# An installation without a private runtime, whose Java comes from a zip that a real wget
# fetches and a real 7-Zip unpacks. The machine's Java names itself "OpenJDK Runtime
# Environment", so it fails the version test and the download is taken.
download() {
  mkdir -p served/bin inst/lib inst/work inst/tmp
  printf '#!/bin/sh\nexec "%s/bin/java" "$@"\n' "$java_home" >served/bin/java
  chmod 755 served/bin/java
  (cd served && 7zz a -tzip runtime.zip bin >/dev/null) || fail "cannot make the zip"
  python3 -u -m http.server 0 --bind 127.0.0.1 --directory served >server.log 2>&1 &
  server=$!
  trap 'kill $server' EXIT
  for _ in $(seq 100); do grep -q 'port' server.log && break || sleep 0.1; done
  port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' server.log)
  cp "$installation/tolvarine" inst/
  cp "$installation/lib/tolvarine-convert.jar" "$installation/lib/tolvarine-hand" inst/lib/
  # A class-data archive that does not fit this runtime only costs speed, silently.
  echo stale >inst/lib/tolvarine-convert.jsa
  sed "s|^JavaDownloadURL=.*|JavaDownloadURL=http://127.0.0.1:$port/runtime.zip|" \
    "$installation/config.dat" >inst/config.dat
  ln -s /usr/bin/wget inst/wget && ln -s /usr/bin/7zz inst/7z
  launcher=$work/inst/tolvarine
  cd inst/work || return
  for run in first again; do
    rm -f shapes.pdf
    TMPDIR=$PWD/../tmp no_proxy=127.0.0.1 http_proxy='' convert shapes.svg -o shapes.pdf
    expect "$run status" "$status" 1
    expect "$run frame" "$(framed)" "$(printf 'Converting shapes.svg to shapes.pdf\nDone.')"
    pdfinfo shapes.pdf >/dev/null || fail "$run: pdfinfo refuses the PDF"
    # The kept runtime serves the next run without another download.
    expect "$run: requests" "$(grep -c 'GET /runtime.zip' ../../server.log)" 1
  done
  [ -x ../tmp/TolvarineJava/bin/java ] || fail "no runtime kept"
}

# A conversion never searches or writes the current folder: not for fonts (links that lead
# back up would make that walk endless), not for the font cache when the home cannot hold it.
# The installed command finds Batik's classes in the class-data archive made at installation,
# beside which installing also lists the machine's fonts.
current_folder() {
  ln -s . here && ln -s . again
  # The run's own Java, whose classes are logged, and no converter left waiting to log its own.
  TOLVARINE_SERVER=0 \
    JAVA_TOOL_OPTIONS="-Duser.home=$work/no-home -Xlog:class+load:file=classes.txt" \
    convert text.svg text.pdf
  expect "status" "$status" 1
  expect "folder" "$(ls | grep -v -x -E 'out.txt|err.txt|classes.txt' | xargs)" \
    "again here text.pdf text.svg"
  [ "$(grep -c 'batik.*shared objects file' classes.txt)" -gt 100 ] || fail "Batik not archived"
  [ -s "$installation/lib/tolvarine-fonts.list" ] || fail "no list of the machine's fonts"
}

# A font installed between two conversions is used by the second: the list of the machine's
# fonts that conversions keep is made again when a font folder changes.
new_font() {
  mkdir -p home/.local/share/fonts
  echo '<svg xmlns="http://www.w3.org/2000/svg" width="90" height="20"><text y="15"
    font-family="Tolvar Sans">Tolvar</text></svg>' >font.svg
  for run in before after; do
    JAVA_TOOL_OPTIONS="-Duser.home=$work/home" "$launcher" font.svg "$run.pdf" >out.txt
    # DejaVu Sans under a name no installed font has, the same length.
    perl -0777 -pe 's/D(\0?)e\1j\1a\1V\1u/T${1}o${1}l${1}v${1}a${1}r/g' \
      /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf >home/.local/share/fonts/TolvarSans.ttf
  done
  pdffonts before.pdf | grep -q TolvarSans && fail "a font that was not installed yet"
  pdffonts after.pdf | grep -q TolvarSans || fail "the new font is not used: $(pdffonts after.pdf)"
}

"$4"
[ "$failures" -eq 0 ] && rm -rf "$work" || echo "kept $work"
exit $((failures > 0))
