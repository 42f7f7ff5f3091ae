#!/bin/sh
# Start a producer, wait until its output is written, go on.
set -e
cd "$(mktemp -d)"
(sleep 1; echo "42 results" > out.txt) &
changewait out.txt
cat out.txt
