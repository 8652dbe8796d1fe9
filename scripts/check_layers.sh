#!/usr/bin/env bash
# Fails when a source includes a header of a layer it may not use: layers
# point down only, and only platform/ (and the executables) may include the
# operating system's or the GUI's headers.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layers each folder may include, itself among them.
declare -A allowed=(
  [platform]="platform"
  [base]="platform base"
  [lang]="platform base lang"
  [machine]="platform base lang machine"
  [access]="platform base lang machine access"
  [editor]="platform base editor"
  [objfiles]="platform base lang machine access editor objfiles"
  [debugger]="platform base lang machine access editor objfiles assembler debugger"
  [loader]="platform base lang machine access editor objfiles assembler debugger project loader"
  [console]="platform base lang machine access editor objfiles assembler debugger project loader console"
  [vhw]="platform base lang machine vhw"
  [project]="platform base project"
  [assembler]="platform base lang machine assembler"
)
# System headers that belong to the platform layer.
os_headers='<(unistd|termios|fcntl|poll|pty|dirent|signal|spawn|dlfcn)\.h>|<sys/|<Q[A-Za-z]*>|<Qt'

status=0
for layer in "${!allowed[@]}"; do
  [ -d "$layer" ] || continue
  while IFS=: read -r file line text; do
    used=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$text")
    if [[ " ${allowed[$layer]} " != *" $used "* ]]; then
      echo "$file:$line: layer '$layer' may not include '$used': $text"
      status=1
    fi
  done < <(grep -rnE '^\s*#\s*include "[a-z_]+/' "$layer" --include='*.h' --include='*.cpp' || true)
  if [ "$layer" != platform ]; then
    if grep -rnE "^\s*#\s*include ($os_headers)" "$layer" --include='*.h' --include='*.cpp'; then
      echo "layer '$layer' includes a system or GUI header that belongs to platform/"
      status=1
    fi
  fi
done
exit $status
