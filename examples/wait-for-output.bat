@echo off
rem Start a producer, wait until its output is written, go on.
cd /d "%TEMP%"
del out.txt 2>nul
start /b cmd /c "ping -n 2 127.0.0.1 >nul & echo 42 results> out.txt"
changewait out.txt
type out.txt
