#!/usr/bin/env bash
# Fails when an include runs upward: each folder of src/ may use only itself
# and the layers below it. A new folder must be given its place here.
set -euo pipefail
src="${1:?usage: check-layers.sh SRC_DIR}"
declare -A allowed=(
  [model]="model"
  [midi]="model midi"
  [files]="model files"
  [store]="model files store"
  [session]="model midi files store session"
  [editor]="model midi files store session editor"
  [shell]="model midi files store session editor shell"
  [apps]="model midi files store session editor shell apps"
)
bad=0
for dir in "$src"/*/; do
  layer=$(basename "$dir")
  if [ -z "${allowed[$layer]+x}" ]; then
    echo "src/$layer: a folder with no place among the layers"
    bad=1
    continue
  fi
  while IFS= read -r hit; do
    file=${hit%%:*}
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$hit")
    if ! grep -qw -- "$target" <<<"${allowed[$layer]}"; then
      echo "${file#"$src"/}: includes from $target, above $layer"
      bad=1
    fi
  done < <(grep -rHE '^\s*#\s*include "[^/"]+/' "$dir" || true)
done
[ "$bad" = 0 ] && echo "layers: no include runs upward"
exit "$bad"
