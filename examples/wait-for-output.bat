@echo off
rem Start a producer, wait until its output is complete, go on.
rem changewait ends at the first change that leaves data in out.txt, so the
rem producer writes out.tmp and renames it onto out.txt when it is done.
rem changewait compares against the state it finds when it starts, so the
rem producer must write after it has started: here the producer waits two
rem seconds first, which assumes changewait has started by then.
cd /d "%TEMP%"
del out.txt 2>nul
start /b cmd /c "ping -n 3 127.0.0.1 >nul & >out.tmp echo 42 results& move /y out.tmp out.txt >nul"
changewait out.txt
type out.txt
del out.txt
