#!/bin/bash
# print writes a large text straight from its variable: with 256 MiB of
# address space a 128 MiB text is built and printed whole, where a copy of it
# would not fit and the line would report "out of memory".
# Usage: print_large.sh ZARNITH
set -u
exe=$1
if grep -q __asan_init "$exe"; then
  echo "AddressSanitizer needs terabytes of address space: skipped"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat > "$tmp/print.zn" <<'SCRIPT'
x = "0123456789abcdef"
i = 0
append, x, x
x = returned
i = i+1
if i == 23
print, x
else
jump, 3
end
SCRIPT
size=$( (ulimit -v 262144 && "$exe" "$tmp/print.zn" 2>"$tmp/err.txt") | wc -c)
fail=0
[ "$size" = $((128 * 1024 * 1024 + 1)) ] || { echo "printed $size bytes"; fail=1; }
[ -s "$tmp/err.txt" ] && { echo "standard error:"; head -c 2000 "$tmp/err.txt"; fail=1; }
exit $fail
