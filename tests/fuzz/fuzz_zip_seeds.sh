#!/bin/sh
# Seeds for the ZIP reader's fuzz target, made fresh by the real tools: Info-ZIP zip (stored,
# deflated, encrypted, with folders, with an executable stub in front), Python's zipfile (data
# descriptors, odd names, an empty archive) and gzip (with and without a name). Then runs the
# target from them (CTest test fuzz_zip).
#
#   fuzz_zip_seeds.sh SOURCE_DIR BUILD_DIR [SECONDS]
set -eu
src=$1
build=$2
seconds=${3:-20}
for tool in zip gzip; do
    command -v $tool >/dev/null 2>&1 || { echo "SKIP: $tool not found"; exit 77; }
done
python=/usr/bin/python3
[ -x "$python" ] || python=python3

seeds="$build/seeds"
work="$build/seed-files"
rm -rf "$seeds" "$work"
mkdir -p "$seeds" "$work/tree/sub"
cd "$work"
printf 'firmware notes\n%.0s' $(seq 40) > notes.txt
printf '\001\002\003\004\377\376' > tree/sub/blob.bin
printf 'v1.2.3\n' > tree/version.txt
zip -q -0 "$seeds/stored.zip" notes.txt tree/version.txt
zip -q -9 "$seeds/deflated.zip" notes.txt
zip -q -P fw-s3cret "$seeds/encrypted.zip" notes.txt
zip -q -r "$seeds/tree.zip" tree
printf '\177ELF stub of a self-extractor\n' > stub
cat stub "$seeds/deflated.zip" > "$seeds/sfx.zip"
cp "$seeds/sfx.zip" "$seeds/sfx-adjusted.zip"
zip -q -A "$seeds/sfx-adjusted.zip"
gzip -c -N notes.txt > "$seeds/named.gz"
gzip -c -n notes.txt > "$seeds/anonymous.gz"
"$python" - "$seeds" <<'PY'
import sys, zipfile
seeds = sys.argv[1]
class Unseekable:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): self.f.flush()
    def tell(self): raise OSError('unseekable')
with open(seeds + '/descriptors.zip', 'wb') as f, zipfile.ZipFile(Unseekable(f), 'w') as z:
    z.writestr('d.txt', b'descriptor ' * 30, compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('s.bin', bytes(range(64)), compress_type=zipfile.ZIP_STORED)
with zipfile.ZipFile(seeds + '/names.zip', 'w') as z:
    for name in ['../up.txt', '/abs.txt', 'C:/drive.txt', 'win\\path.txt', 'dir/', 'a/b/c.txt']:
        z.writestr(zipfile.ZipInfo(name), name.encode())
zipfile.ZipFile(seeds + '/empty.zip', 'w').close()
PY
cd - >/dev/null
exec sh "$src/tests/fuzz/run-fuzz.sh" "$src" "$build" "$seeds" "$seconds" fuzz_zip
