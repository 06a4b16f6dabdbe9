#!/usr/bin/env bash
# Includes point one way: app/ may use every folder; the feature folders use
# only themselves and base/; base/ uses nothing of ours. Prints each include
# that points the wrong way and fails when there is one.
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
bad=0
for folder in base package serial bootdrive hostprep resources; do
  allowed="$folder"
  [ "$folder" = base ] || allowed="$folder|base"
  while IFS= read -r hit; do
    echo "wrong way: $hit"
    bad=1
  done < <(grep -rnE '#include "[a-z]+/' "$folder" | grep -vE "#include \"($allowed)/")
done
exit $bad
