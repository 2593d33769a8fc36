@echo off
rem Quellix: stops the GWX programs so that their folder can be renamed.
rem Runs hidden, with its output going to log.txt; it never waits for input.
setlocal
rem Its programs come from the system folder alone: the program's folder,
rem current when it starts, may hold a taskkill.com that anyone put there.
cd /d "%SystemRoot%\System32" & if errorlevel 1 exit /b 1
echo Quellix: stopping GWX programs
echo Started %DATE% %TIME%
for %%P in (GWX.exe GWXUX.exe GWXConfigManager.exe GWXDetector.exe GWXUXWorker.exe) do call :stop %%P
echo Done.
endlocal
exit /b 0

:stop
taskkill /F /IM %1 >nul 2>&1
if errorlevel 1 (
  echo %1: not running
) else (
  echo %1: ended
)
goto :eof
