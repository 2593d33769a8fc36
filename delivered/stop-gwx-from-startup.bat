@echo off
echo placeholder
exit /b 0
