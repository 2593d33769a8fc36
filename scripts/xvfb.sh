#!/usr/bin/env bash
# xvfb.sh start|stop NUM: a virtual X screen :NUM (1024x768x24) for the window
# tests; started once, left running for the other tests, stopped at the end.
set -u
cmd=$1 num=$2
pidfile=/tmp/quellix-xvfb-$num.pid
case "$cmd" in
  start)
    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then exit 0; fi
    rm -f "/tmp/.X$num-lock" "/tmp/.X11-unix/X$num"
    setsid Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 < /dev/null &
    echo $! > "$pidfile"
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$num" ] && exit 0
      sleep 0.1
    done
    echo "xvfb.sh: Xvfb :$num did not start" >&2
    exit 1
    ;;
  stop)
    [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null
    rm -f "$pidfile"
    exit 0
    ;;
esac
echo "usage: xvfb.sh start|stop NUM" >&2
exit 2
