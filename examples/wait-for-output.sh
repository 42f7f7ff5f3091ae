#!/bin/sh
# Start the producer and go on once its output holds data that no process
# is writing any more, whether it was done before changewait started or
# after; give up after a minute. Clearing the name first is all the
# ordering it needs: -p takes output that is already there.
set -e
dir=$(mktemp -d)
cd "$dir"
rm -f out.txt
echo "42 results" > out.txt &   # the producer, of any speed
changewait -pc -t 60 out.txt    # 0 done; 124 not within a minute; 1 cannot watch
cat out.txt
cd / && rm -r "$dir"
