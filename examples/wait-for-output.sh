#!/bin/sh
# Start the waiter, then the producer; go on once the output is complete.
# changewait ends at the first change that leaves data in out.txt, so the
# producer writes a temporary name in the same directory and renames it onto
# out.txt when it is done: that rename is the first such change.
# changewait compares against the state it finds when it starts, so it has
# to be running before the producer writes: the pause assumes it has started
# within a second (it takes a few milliseconds).
set -e
dir=$(mktemp -d)
cd "$dir"
changewait out.txt &
waiter=$!
sleep 1
{ echo "42 results" > out.txt.tmp && mv out.txt.tmp out.txt; } &   # the producer
wait "$waiter"
cat out.txt
cd / && rm -r "$dir"
