@echo off
rem Start a producer, go on once its output holds data that no process is
rem writing any more; give up after a minute. Runs in %TEMP%, with
rem changewait.exe beside this file or on the PATH.
setlocal
set changewait=changewait
if exist "%~dp0changewait.exe" set changewait="%~dp0changewait.exe"
cd /d "%TEMP%"
del out.txt 2>nul
start /b cmd /c "echo 42 results>out.txt"
%changewait% /P /C /T:60 out.txt
if errorlevel 1 (echo changewait ended with %errorlevel%: no output & exit /b 1)
type out.txt
del out.txt
