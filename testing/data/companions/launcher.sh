#!/bin/sh
# A stand-in launcher, started in a run folder directly below the test's folder: it records its process
# id, working folder and arguments and whether it holds descriptor 77 in ../record.txt, writes to its
# console, and then waits until the file "go" appears in its working folder.
{ echo "$$"; pwd; for a in "$@"; do echo "[$a]"; done
  if [ -e /proc/$$/fd/77 ]; then echo fd77 open; else echo fd77 closed; fi; } > ../record.tmp
mv ../record.tmp ../record.txt
echo launcher-out; echo launcher-err >&2
while [ ! -e go ]; do sleep 0.05; done
exit 3
