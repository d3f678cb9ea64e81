#!/bin/sh
# Draws docs/screenshots/main.png (the main window after a poll of ornix-sim) and poll.png
# (polling while virtual customers pour, a flowmeter fault in the title) on a virtual X
# screen, and the pictures of the dialog windows (dose.png: the dose window while two fills
# pour; flowmeters.png: the flowmeter window after a poll; tablo-test.png: the manual
# display-board test; tablo.png: the display-board window after a poll), so that it needs no
# desktop. The virtual screen is a 1366 x 768 laptop's: every window shows at the size it opens
# with there. Usage: scripts/screenshots.sh BUILD_DIR
set -eu
BUILD=${1:-build/release}
PROGRAM="$BUILD/ui_screenshot_test"
[ -x "$PROGRAM" ] || { echo "$PROGRAM is missing: run 'make build' first."; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: run 'make deps' (package xvfb)."; exit 1; }
mkdir -p docs/screenshots
OUT="$(pwd)/docs/screenshots"
xvfb-run -a -s "-screen 0 1366x768x24" \
    env QT_QPA_PLATFORM=xcb ORNIX_SCREENSHOTS="$OUT" "$PROGRAM" --gtest_brief=1
# configuration.png: the configuration window after a poll, a request code and a short search.
xvfb-run -a -s "-screen 0 1366x768x24" \
    env QT_QPA_PLATFORM=xcb ORNIX_SCREENSHOTS="$OUT" "$BUILD/ui_cfg_window_test" --gtest_brief=1 --gtest_filter='*Screenshot'
# pins.png and sd.png: the pin test with a few shorted pins, the SD card explorer showing a file.
xvfb-run -a -s "-screen 0 1366x768x24" \
    env QT_QPA_PLATFORM=xcb ORNIX_SCREENSHOTS="$OUT" "$BUILD/ui_service_windows_test" --gtest_brief=1 --gtest_filter='*Screenshots'
# settings-compare.png: a controller compared with the settings file of another.
xvfb-run -a -s "-screen 0 1366x768x24" \
    env QT_QPA_PLATFORM=xcb ORNIX_SCREENSHOTS="$OUT" "$BUILD/ui_settings_window_test" --gtest_brief=1 --gtest_filter='*Screenshot'
echo "wrote the pictures to $OUT"
