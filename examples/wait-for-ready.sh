#!/bin/sh
# Start the waiter, wait until it watches, then start the producer; go on
# once the output is complete. changewait lets go of its standard output
# once its watch is set up: reading a FIFO on it to its end waits for
# exactly that, so a producer of any speed started then is seen.
# changewait ends at the first change that leaves data in out.txt, so the
# producer writes a temporary name in the same directory and renames it onto
# out.txt when it is done: that rename is the first such change. Standard
# error must not go into the FIFO too (2>&1): cat would then wait until
# changewait ends.
set -e
dir=$(mktemp -d)
cd "$dir"
mkfifo ready
changewait out.txt >ready &   # the waiter
waiter=$!
cat ready                     # returns once changewait watches
{ echo "42 results" > out.txt.tmp && mv out.txt.tmp out.txt; } &   # the producer
wait "$waiter"                # its exit status: 0, or 1 if it could not watch
cat out.txt
cd / && rm -r "$dir"
