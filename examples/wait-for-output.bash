#!/bin/bash
# The same in bash, without a FIFO: a process substitution reads the
# waiter's standard output to its end, and wait gives its exit status.
set -e
dir=$(mktemp -d)
cd "$dir"
exec 3< <(exec changewait out.txt)   # the waiter
waiter=$!
cat <&3; exec 3<&-                    # returns once changewait watches
{ echo "42 results" > out.txt.tmp && mv out.txt.tmp out.txt; } &   # the producer
wait "$waiter"                        # its exit status: 0, or 1 if it could not watch
cat out.txt
cd / && rm -r "$dir"
