#!/usr/bin/env bash
# Includes point one way: app/ may use every folder; ui/ (the window
# toolkit) uses only itself, base/ and resources/, never the wizard; the
# feature folders use only themselves and base/; base/ uses nothing of ours.
# Prints each include that points the wrong way and fails when there is one.
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
bad=0
for folder in base ui package serial bootdrive hostprep resources; do
  case $folder in
    base) allowed=base ;;
    ui) allowed="ui|base|resources" ;;
    *) allowed="$folder|base" ;;
  esac
  while IFS= read -r hit; do
    echo "wrong way: $hit"
    bad=1
  done < <(grep -rnE '#include "[a-z]+/' "$folder" | grep -vE "#include \"($allowed)/")
done
# The toolkit names no component of the wizard: what differs per component
# is data that the wizard's layout sets.
for name in $(sed -n 's/.*row(Kind::[A-Za-z]*, "\([A-Za-z0-9]*\)".*/\1/p' app/layout.cpp); do
  while IFS= read -r hit; do
    echo "ui/ names the wizard's $name: $hit"
    bad=1
  done < <(grep -rnw "$name" ui)
done
exit $bad
