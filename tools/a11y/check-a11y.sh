#!/bin/sh
# Runs the assistant with its simulated device on a virtual display, on a private session bus
# with the accessibility bus, and reads the window as a screen reader would.
#   tools/a11y/check-a11y.sh [build-dir]
# Needs xvfb, dbus, at-spi2-core and python3-pyatspi.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
exec dbus-run-session -- sh -c '
  set -eu
  Xvfb :97 -screen 0 1280x800x24 >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=:97 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
  export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  bus=$!
  sleep 1
  "$1/src/app/tervo-assistant" --demo >/dev/null 2>&1 &
  app=$!
  status=0
  /usr/bin/python3 "$2/read_window.py" || status=$?
  kill $app $bus $xvfb 2>/dev/null || true
  exit $status
' sh "$build" "$here"
