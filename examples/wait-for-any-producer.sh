#!/bin/sh
# Wait for output that a producer of any speed writes, with no assumption:
# the check sees output written before changewait started, and the time-out
# ends a changewait that started too late to see the write. The producer
# renames its finished output onto out.txt, so whatever is seen is complete.
set -e
dir=$(mktemp -d)
cd "$dir"
{ echo "42 results" > out.txt.tmp && mv out.txt.tmp out.txt; } &   # the producer, as fast as any
until [ -s out.txt ]; do
	timeout 1 changewait out.txt || [ $? -eq 124 ]
done
cat out.txt
cd / && rm -r "$dir"
