#!/bin/sh
# Start the waiter, then the producer; go on once the output is written.
# changewait compares against the state it finds when it starts, so it has
# to be running before the producer writes: the pause assumes it has started
# within a second (it takes a few milliseconds).
set -e
cd "$(mktemp -d)"
changewait out.txt &
waiter=$!
sleep 1
echo "42 results" > out.txt &   # the producer
wait "$waiter"
cat out.txt
