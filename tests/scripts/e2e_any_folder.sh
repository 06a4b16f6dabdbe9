#!/usr/bin/env bash
# Runs from any folder: unpacked into a folder named in Cyrillic and
# Chinese, which no ANSI code page holds, the wizard finds its image and
# catalogue and runs a whole upgrade to "Finish!". A catalogue saved in
# Latin-1 shows its version as one saved in UTF-8 does.
source "$WIZARD_SOURCE_DIR/tests/lib/e2e.sh"
e2e_begin any-folder
e2e_standard_bench --ready-delay 3000
folder="$E2E/Обновление 升级"

e2e_launch "$folder"
e2e_check "Start enabled: the image was found" e2e_start_enabled
e2e_start_to_version
e2e_shot version-page-cyrillic-folder
e2e_click_yes
e2e_check "image copied" wz_wait_for "cmp -s '$E2E/drive/AIS_Firmware.S19' '$folder/Bin/App_K40.SBIN'" 30
e2e_check "Finish enabled" wz_wait_for e2e_finish_enabled 15

# The new version's label for a catalogue written three ways.
label_of() {  # CATALOGUE BYTES -> file with the label's pixels
  printf 'Image,Version\r\nBin\\App_K40.SBIN,%b\r\n' "$1" >"$folder/Bin/Firmware.csv"
  rm -f "$E2E/drive/READY.TXT" "$E2E/drive/AIS_Firmware.S19"
  e2e_restart_sim 5 --drive "$E2E/drive" --ready-delay 3000
  e2e_launch "$folder"
  e2e_start_to_version
  import -window "$E2E_WIN" -crop "$(e2e_px 250)x$(e2e_px 18)+$(e2e_px 282)+$(e2e_px 132)" "$E2E/$2.png" 2>/dev/null
  e2e_shot "version-page-$2"
}
label_of '2.05-\xc3\xa9' utf8
label_of '2.05-\xe9' latin1
label_of '2.05-e' plain
same() { [ "$(compare -metric AE "$E2E/$1.png" "$E2E/$2.png" null: 2>&1)" = 0 ]; }
differ() { ! same "$@"; }
e2e_check "a Latin-1 version shows as its UTF-8 form" same utf8 latin1
e2e_check "and shows its accent" differ utf8 plain
e2e_end
