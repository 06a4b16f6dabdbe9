#!/usr/bin/env bash
# The whole upgrade at 150 % display scaling (144 DPI): the window at its
# scaled size, every click at the scaled button centres, "Finish!" with the
# image copied.
export E2E_DPI=144
source "$WIZARD_SOURCE_DIR/tests/scripts/e2e_full_upgrade.sh"
