#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.
#
# Book-file seeds come from small books compiled with tvkbuild: the whole books for the targets that
# open a book, and for each storage a container holding only the streams that storage reads. The
# other seeds are short texts and records written here. Run it again after a format change.
#   scripts/make-fuzz-seeds.sh            (TVKBUILD=path/to/tvkbuild skips building the compiler)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
corpus=$root/fuzz/corpus

if [ -z "${TVKBUILD:-}" ]; then
  build=build-seeds
  cmake -S . -B "$build" -G Ninja -DQS_BUILD_TESTS=OFF -DQS_BUILD_BENCH=OFF > /dev/null
  cmake --build "$build" --target tvkbuild -j"${QS_SEED_JOBS:-4}" > /dev/null
  TVKBUILD=$root/$build/tools/tvkbuild/tvkbuild
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A book that carries what the examples leave out: readings (a dated book), an image, a reference
# file and word-attribute definitions.
printf 'PNG-ish image bytes\n' > "$work/map.png"
printf 'Gen 1:1\tJn 3:16\n' > "$work/refs.txt"
cat > "$work/extras.json" <<'EOF'
{
  "kind": "dated",
  "title": "Daily &amp; Weekly Readings",
  "abbreviation": "DWR",
  "subtitle": "Seed book",
  "author": "Quillstead",
  "publisher": "Quillstead",
  "city": "Nowhere",
  "date": "2026",
  "copyright": "&copy; none",
  "wordAttributes": "lemma=1,Lemma,l:,lemma,ls:,ot,,strong,yes&morph=2,Morphology,m:,morph,ms:,nt,,,",
  "publisherId": 7,
  "bookId": 9,
  "language": 1033,
  "sections": [
    { "title": "January", "level": 1 },
    { "title": "January 1", "level": 2, "text": "Read Genesis 1:1-5; then John 1:1. \"In the beginning\" - was the Word!" },
    { "title": "January 2", "level": 2, "text": "Psalm 23: The LORD is my shepherd; I shall not want." },
    { "title": "February", "level": 1 },
    { "title": "February 1", "level": 2, "text": "Matthew 5:3-12 (the Beatitudes), and Romans 8:28." }
  ],
  "readings": [2, 3, 5], "startMonth": 1, "startDay": 1,
  "lookupWords": { "genesis": [2], "psalm": [3] },
  "verseLookup": [ { "key": "1:1:1", "end": "1:1:5", "section": 2 }, { "key": "19:23:1", "section": 3 } ],
  "images": [ { "name": "map.png", "file": "map.png" } ],
  "bibleRef": [ { "name": "refs.txt", "file": "refs.txt" } ]
}
EOF
books=()
for src in tools/tvkbuild/examples/*.json "$work/extras.json"; do
  out="$work/$(basename "$src" .json).tvk"
  "$TVKBUILD" "$src" "$out"
  books+=("$out")
done

python3 - "$corpus" "${books[@]}" <<'EOF'
import os, struct, sys

corpus, books = sys.argv[1], sys.argv[2:]

def streams(data):
    """(id, name, bytes) of each stream of a container, in chain order."""
    out, pos, seen = [], struct.unpack_from('<I', data, 12)[0], set()
    while pos and pos + 16 <= len(data) and pos not in seen:
        seen.add(pos)
        sid, start, length, nxt = struct.unpack_from('<4I', data, pos)
        name = data[pos + 16:start].split(b'\0')[0]
        out.append((sid, name, data[start:start + length]))
        pos = nxt
    return out

def container(items):
    """A container of (id, name, bytes), laid out as the book writer does."""
    body, offset = [], 16
    for sid, name, payload in items:
        extra = name + b'\0' if name else b''
        offset += 16 + len(extra) + len(payload)
    total, pos, chunks = offset, 16, []
    for i, (sid, name, payload) in enumerate(items):
        extra = name + b'\0' if name else b''
        start = pos + 16 + len(extra)
        nxt = start + len(payload) if i + 1 < len(items) else 0
        chunks.append(struct.pack('<4I', sid, start, len(payload), nxt) + extra + payload)
        pos = start + len(payload)
    first = struct.pack('<4I', 0, 0, total, 16 if items else 0)
    return first + b''.join(chunks)

def tag(t):
    return int.from_bytes(t.encode().ljust(4, b'\0'), 'little')

def put(target, name, data):
    folder = os.path.join(corpus, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)

# Per target: the streams it reads (by tag or by name).
selections = {
    'bookfile_geninfo': ['INFO'],
    'bookfile_section': ['SECT'],
    'bookfile_text': ['TEXT', 'PAGE'],
    'bookfile_toc': ['TOFC'],
    'bookfile_wordlist': ['WRDS', 'PUNC'],
    'bookfile_concord': ['CONC', 'SECT'],
    'bookfile_sync': ['SYNC', 'DATE'],
    'bookfile_embedded': ['IMAGES', 'BIBLEREF'],
    'bookfile_nodes': ['NODE'],
}
for path in books:
    data = open(path, 'rb').read()
    base = os.path.splitext(os.path.basename(path))[0]
    for target in ('bookfile_stream', 'bookfile_book', 'text_tokens', 'bookfile_walk'):
        put(target, base, data)
    all_streams = streams(data)
    for target, wanted in selections.items():
        picked = [s for s in all_streams
                  if any(s[0] == tag(w) or s[1].decode('latin-1').upper() == w for w in wanted)]
        if picked:
            put(target, base, container(picked))
        if target == 'bookfile_geninfo':
            for sid, name, payload in picked:
                # The attribute definitions as plain text, for the definition parser.
                text = payload.split(b'lemma=')
                if len(text) > 1:
                    put('word_attribute_defs', base, b'lemma=' + text[1].split(b'\0')[0])
EOF

# The whole-book walk also starts from books of the sample library and the books that come with the
# application, compiled from real texts (QS_SEED_LIBRARY: a build folder that has built them).
library=${QS_SEED_LIBRARY:-$root/build}
for book in "$library/library/DailyReadings.tvk" "$library/books/MXHelp.tvk" "$library/books/MXWelcome.tvk"; do
  if [ -f "$book" ]; then
    cp "$book" "$corpus/bookfile_walk/$(basename "$book" .tvk)"
  else
    echo "note: $book is not built; bookfile_walk keeps only the example books" >&2
  fi
done

# Texts and records for the other readers.
seed() { mkdir -p "$corpus/$1"; printf '%b' "$3" > "$corpus/$1/$2"; }
seed word_attribute_defs plain 'strong=1,Strong,s:,strong,ss:,ot,,strong,yes&morph=2,Morph,m:,morph,,nt,,,&bad&=x'
seed html_filter note '\x03<p onclick="x()">In <b>the</b> beginning<br>&amp; <a href="javascript:alert(1)">God</a></p><script>x</script>'
seed html_filter page '\x06<html><body><form><input></form><table><tr><td>Jn 3:16</td></tr></table><img src="data:x"></body></html>'
seed html_filter refs '\x84See Gen 1:1-3 and Ps 23; <a href="bible:43:3:16">here</a> &lt;not a tag'
seed bible_ref typed '\x01\x00\x00\x00\x00Gen 1:1-3; 2:4, 7 Ps 23 Jn 3:16-4:2'
seed bible_ref spanish '\x10\x00\x00\x00\x01G\xe9nesis 1:1; Cr&oacute;nicas 2:3'
seed bible_ref link '\x00\x02\x00\x00\x00bible:43:3:16-43:3:18'
seed bible_ref_tables booknums '\x01*** book numbers\n+++ Header\nVersion=999999\nCount=2\n--- End\n+++ Data\n"Book","Name"\n"1","1"\n"2","2"\n--- End\n'
seed bible_ref_tables onechapter '\x0b+++ Header\nVersion=999999\nCount=2\n--- End\n+++ Data\n"Book"\n"57"\n"65"\n--- End\n'
seed bible_ref_tables keymap '\x08+++ Header\nVersion=999999\nCount=1\n--- End\n+++ Data\n"A","B","C","D","E"\n"1","1","-4","2","1"\n'
seed bible_ref_tables names '\x00+++ Header\nVersion=999999\nCount=1\n--- End\n+++ Data\n"Name","Num","Kind","Min"\n"Genesis","1","3","2"\n--- End\n\f+++ Header\nVersion=999999\nCount=1\n--- End\n+++ Data\n"Name","Num","Kind","Min"\n"G\xe9nesis","1","3","2"\n--- End\n'
seed property_list dict '<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n<plist version="1.0">\n<dict>\n\t<key>name</key>\n\t<string>Psalm &amp; hymn</string>\n\t<key>count</key>\n\t<integer>-42</integer>\n\t<key>ratio</key>\n\t<real>0.5</real>\n\t<key>on</key>\n\t<true/>\n\t<key>when</key>\n\t<date>2026-12-07T05:00:00Z</date>\n\t<key>blob</key>\n\t<data>AAEC/w==</data>\n\t<key>list</key>\n\t<array><string>a</string><array/><dict/></array>\n</dict>\n</plist>\n'
seed keyed_archive layout '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n<dict>\n\t<key>$archiver</key>\n\t<string>QuillsteadKeyedArchive</string>\n\t<key>$version</key>\n\t<integer>1</integer>\n\t<key>$top</key>\n\t<dict>\n\t\t<key>$class</key>\n\t\t<string>Layout</string>\n\t\t<key>panes</key>\n\t\t<array><dict><key>$class</key><string>Pane</string><key>width</key><real>0.25</real></dict></array>\n\t</dict>\n</dict>\n</plist>\n'
seed date_time colon '2026:12:07:05:16:12:345:1'
seed date_time sql '2026-12-07 05:16:12.345'
seed date_time leap '2024:02:29:23:59:59:99:4'
seed search_query plain '\x00in the beginning'
seed search_query query '\x00"son of man" OR messiah -king lov* (grace | faith)'
seed search_query wide '\x01"\x00l\x00o\x00g\x00o\x00s\x00"\x00 \x00\xbb\x03\xcc\x03\xb3\x03'
# Records: u32 fields little-endian.
seed bit_vector raw '\x01\x00\x00\x00\x14\x00\x00\x00\x02\x00\x00\x00\xa5\x0f\xf0\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff'
seed bit_vector setlist '\x01\x00\x00\x00\x00\x01\x00\x00\x01\x00\x00\x00\x03\x00\x00\x00\x02\x00\x01\x00\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff'
seed wide_string word '\x01\x00\x00\x00\x05\x00\x00\x00l\x00o\x00g\x00o\x00s\x00\x00\x00'
seed wide_string empty '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
seed search_word_list two '\x02\x00\x00\x00\x04\x00\x00\x00\x02\x00\x00\x00\x01\x00\x07\x00\x00\x00\x01\x00\x00\x00\x02\x00\x00\x00g\x00o\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x01\x00\x08\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x00g\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x01\x09\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
seed search_word_list v1 '\x01\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x00\x01\x00\x05\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x00a\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
du -sh "$corpus"
