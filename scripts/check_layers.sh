#!/usr/bin/env bash
# Fails when a source includes a header of a layer it may not use, when the
# README's Layout table says otherwise than the build, or when the command
# language or the simulator reads the state of a layer above them. The layer graph is
# declared once, in the folders' CMakeLists.txt: dorvik_layer(NAME USES...)
# names the layers NAME uses directly, and a layer may include itself and
# every layer it reaches through them. Only platform/ (and the executables)
# may include the operating system's headers, and only gui/ (and the
# executables) Qt's.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
fail() {
  echo "$*"
  status=1
}

# The declaration: each layer's direct uses (Qt and other imported targets left out).
declare -A uses=()
for cmake in */CMakeLists.txt; do
  decl=$(tr '\n' ' ' <"$cmake" | grep -oE '(^| )dorvik_layer\([^)]*\)' || true)
  [ -n "$decl" ] || continue
  read -r -a words <<<"$(sed -E 's/^ ?dorvik_layer\((.*)\)$/\1/' <<<"$decl")"
  layer=${words[0]}
  [ "$layer/CMakeLists.txt" = "$cmake" ] || fail "$cmake: declares the layer '$layer' outside its folder"
  direct=""
  for w in "${words[@]:1}"; do [[ $w == *::* ]] || direct+=" $w"; done
  uses[$layer]=${direct# }
done
for layer in "${!uses[@]}"; do
  for u in ${uses[$layer]}; do
    [ -n "${uses[$u]+set}" ] || fail "$layer/CMakeLists.txt: uses '$u', which is no layer"
  done
done

# What each layer may include: itself and everything it reaches.
declare -A allowed=()
for layer in "${!uses[@]}"; do
  seen=" $layer "
  todo=("$layer")
  while ((${#todo[@]})); do
    l=${todo[0]}
    todo=("${todo[@]:1}")
    for u in ${uses[$l]:-}; do
      [ "$u" = "$layer" ] && fail "$layer/CMakeLists.txt: '$layer' uses itself through '$l' (a cycle)"
      [[ $seen == *" $u "* ]] && continue
      seen+="$u "
      todo+=("$u")
    done
  done
  allowed[$layer]=$seen
done

# The README's Layout table: one row per layer, naming its direct uses.
sorted() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort | tr '\n' ' '; }
declare -A row_seen=()
while IFS=: read -r line text; do
  folder=$(sed -E 's/^\| `([a-z_]+)\/`.*/\1/' <<<"$text")
  [ -n "${uses[$folder]+set}" ] || continue
  row_seen[$folder]=1
  column=$(cut -d'|' -f3 <<<"$text")
  named=""
  for w in $(grep -oE '[a-z_]+' <<<"$column" || true); do
    [ -n "${uses[$w]+set}" ] && named+=" $w"
  done
  if [ "$(sorted "$named")" != "$(sorted "${uses[$folder]}")" ]; then
    fail "README.md:$line: the Layout row of '$folder/' names '${named# }'; $folder/CMakeLists.txt declares '${uses[$folder]}'"
  fi
done < <(grep -nE '^\| `[a-z_]+/` ' README.md || true)
for layer in "${!uses[@]}"; do
  [ -n "${row_seen[$layer]+set}" ] || fail "README.md: the Layout table has no row for the layer '$layer/'"
done

# System headers that belong to the platform layer.
os_headers='<(unistd|termios|fcntl|poll|pty|dirent|signal|spawn|dlfcn)\.h>|<sys/'
qt_headers='<Q[A-Za-z]*>|<Qt'

for layer in "${!allowed[@]}"; do
  while IFS=: read -r file line text; do
    used=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$text")
    if [[ ${allowed[$layer]} != *" $used "* ]]; then
      fail "$file:$line: layer '$layer' may not include '$used': $text"
    fi
  done < <(grep -rnE '^\s*#\s*include "[a-z_]+/' "$layer" --include='*.h' --include='*.cpp' || true)
  if [ "$layer" != platform ]; then
    if grep -rnE "^\s*#\s*include ($os_headers)" "$layer" --include='*.h' --include='*.cpp'; then
      fail "layer '$layer' includes a system header that belongs to platform/"
    fi
  fi
  if [ "$layer" != gui ]; then
    if grep -rnE "^\s*#\s*include ($qt_headers)" "$layer" --include='*.h' --include='*.cpp'; then
      fail "layer '$layer' includes a Qt header that belongs to gui/"
    fi
  fi
done

# The workbench is grouped by feature: every source of gui/ sits in one of
# its feature folders, none loose in gui/ itself.
if ls gui/*.cpp gui/*.h >/dev/null 2>&1; then
  fail "gui/ holds sources outside its feature folders: $(ls gui/*.cpp gui/*.h 2>/dev/null | tr '\n' ' ')"
fi

# Windows talk through the engine's model and the main window. gui/ground/
# is the workbench's ground floor (the dockable base, the [DORVIK] entry
# format, the window pump, the main window's narrow interface and the
# choosers): it includes nothing else of gui/. A feature folder includes its
# own windows, the ground and the shared dialogs of gui/dialogs/, never
# another folder's window; only gui/main/ includes the main window, and it
# may include every folder.
while IFS=: read -r file line text; do
  folder=$(cut -d/ -f2 <<<"$file")
  used=$(sed -E 's/.*#include "gui\/([a-z_]+)\/.*/\1/' <<<"$text")
  if [ "$folder" = ground ]; then
    [ "$used" = ground ] ||
      fail "$file:$line: gui/ground/ includes nothing else of gui/ (it is what the windows stand on): $text"
    continue
  fi
  [ "$folder" = main ] || [ "$used" = "$folder" ] || [ "$used" = ground ] || [ "$used" = dialogs ] ||
    fail "$file:$line: a window of gui/$folder/ includes gui/$used/ (talk through the main window's interface, gui/ground/workbench.h): $text"
done < <(grep -rnE '^\s*#\s*include "gui/[a-z_]+/' gui --include='*.h' --include='*.cpp' || true)

# Knowledge rules: what differs by target kind is its backend's business.
# No debugger command tests the target kind (the settings code that chooses
# it excepted); the transport and the two links never ask which kind is
# current; base/ holds no link state and its messages know no wire.
kind_words='TargetKind|kTarget(Monitor|Aduc|Simulator|None)\b'
if grep -nE "$kind_words" debugger/*.cpp debugger/*.h | grep -vE '^debugger/commsettings\.(cpp|h):'; then
  fail "debugger/ tests the target kind outside its settings code: ask the backend (access/backend.h)"
fi
if grep -nE "$kind_words" access/transport.* access/monitorlink.* access/aduclink.*; then
  fail "a link file tests the target kind: the backend says how its link behaves (TargetBackend::Habits)"
fi
if grep -rnE '\bLink\(\)|RxBuffer|RxCount|RxIndex' base --include='*.h' --include='*.cpp'; then
  fail "base/ reads the link state, which is access/'s (access/linkstate.h)"
fi

# Knowledge: the command language (lang/) and the simulator (machine/) get
# what they need from their callers; they read neither the link state, nor the
# main window's state, nor which kind of target is selected.
knowledge='\bLink\(\)|\bLinkState\b|base/linkstate\.h|\bMainForm\(\)|\bMainFormState\b|\bTargetKind\b'
# Known readers still waiting for their move, as file:text. The simulator's
# guard against stepping while a board is selected goes with the step loop
# into the simulator backend.
knowledge_waiting=(
  'machine/simulator.cpp:  if ((run.TargetKind ^ kTargetSimulator) | run.UserBreak | g_sim->RecordReads) [[unlikely]] {'
  'machine/simulator.cpp:    if (run.TargetKind != kTargetSimulator) {'
)
while IFS=: read -r file line text; do
  waiting=0
  for w in "${knowledge_waiting[@]}"; do [ "$file:$text" = "$w" ] && waiting=1; done
  ((waiting)) && continue
  fail "$file:$line: lang/ and machine/ may not read the link state, the main window's state or the target kind (let the caller pass it): $text"
done < <(grep -rnE "$knowledge" lang machine --include='*.h' --include='*.cpp' || true)

exit $status
