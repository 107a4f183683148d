#!/bin/bash
# Standard output that goes away under a running script. A pipe whose reader
# quits ends the script the way it ends other programs: killed by SIGPIPE
# (status 141), with nothing on standard error, so a script that never ends
# on its own still stops. A closed descriptor is taken for the null device:
# the script runs to its end and exits with its own status. A full device
# loses the output: the script still runs to its end and the file it writes
# gets exactly its own text, but one line on standard error tells of the
# loss and the status is 1, whatever the script's own.
# Usage: broken_pipe.sh ZARNITH
set -u
exe=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
cat > writer.zn <<'SCRIPT'
i = 0
i = i+1
if i == 20000
print, "last line"
else
print, "a line that fills the pipe long before the script is done"
jump, 2
end
use, "fs"
fs:open, "done.txt", 1
fs:write, returned, "finished"
exit, 3
SCRIPT
fail=0
check() {  # check NAME STATUS [EXPECTED-STATUS [EXPECTED-done.txt [EXPECTED-stderr]]]
  local want=${3:-3} done=${4-finished} err=${5-}
  [ "$2" = "$want" ] || { echo "$1: exit status $2, expected $want"; fail=1; }
  [ "$(cat err.txt)" = "$err" ] || { echo "$1: standard error:"; head -c 2000 err.txt; fail=1; }
  [ "$(cat done.txt 2>/dev/null)" = "$done" ] || { echo "$1: done.txt holds $(head -c 200 done.txt 2>&1)"; fail=1; }
  rm -f done.txt err.txt
}

"$exe" writer.zn 2>err.txt | head -1 >first.txt
check "broken pipe" "${PIPESTATUS[0]}" 141 ""
[ "$(cat first.txt)" = "a line that fills the pipe long before the script is done" ] ||
  { echo "broken pipe: first line $(cat first.txt)"; fail=1; }

# The same with a reader that reads nothing at all.
"$exe" writer.zn 2>err.txt | true
check "pipe closed from the start" "${PIPESTATUS[0]}" 141 ""

"$exe" writer.zn >&- 2>err.txt
check "closed standard output" $?

"$exe" writer.zn >/dev/full 2>err.txt
check "full device" $? 1 finished "$(basename "$exe"): cannot write standard output: no space left on device"

"$exe" writer.zn <&- >/dev/null 2>err.txt
check "closed standard input" $?
exit $fail
