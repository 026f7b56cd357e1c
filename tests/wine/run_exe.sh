#!/bin/bash
# Runs one test EXE from the build's bin folder under Wine.
set -u
source "$(dirname "$0")/wine-env.sh"
vexa_wine_exe "$@"
