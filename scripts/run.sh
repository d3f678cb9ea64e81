#!/bin/sh
echo "ornix-tester: the main window arrives with the runner and main-window work; nothing to run yet."
