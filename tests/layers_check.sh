#!/usr/bin/env bash
# The include graph points one way. Floors, lowest first:
#   0  src/math, src/audio, src/bx/{assert,archive,object,group,smoothing}
#   1  src/gl (the GL layer)
#   2  src/bx/{mesh,loadingscreen,music} (engine parts drawn with the GL layer)
#   3  the show's core: src/{core,intro,manifest,scenes,sequence,show,shaders,
#      shadertext,size,timeline}
#   4  the desktop application: src/{commandline,demo,dialog,launcher,locate,main},
#      and the browser's host and context, src/web
# A file may include files of its own floor or lower. Nothing in src/ includes
# tools/ or tests/; nothing in tools/ or bench/ includes tests/.
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
floor() {
    case "$1" in
    src/math/*|src/audio/*|src/bx/assert.*|src/bx/archive.*|src/bx/object.*|src/bx/group.*|src/bx/smoothing.*) echo 0 ;;
    src/gl/*) echo 1 ;;
    src/bx/*) echo 2 ;;
    src/core.*|src/intro.*|src/manifest.*|src/scenes.*|src/sequence.*|src/show.*|src/shaders.*|src/shadertext.*|src/size.*|src/timeline.*) echo 3 ;;
    src/*) echo 4 ;;
    *) echo 9 ;;
    esac
}
bad=0
while IFS= read -r file; do
    while IFS= read -r included; do
        if [ -f "src/$included" ]; then
            target="src/$included"
        elif [ -f "$(dirname "$file")/$included" ]; then
            target="$(dirname "$file")/$included"
        else
            case "$file" in
            src/*) echo "$file includes \"$included\", which is not in src/"; bad=1 ;;
            esac
            case "$included" in
            support/*) echo "$file includes the tests' \"$included\""; bad=1 ;;
            esac
            continue
        fi
        if [ "$(floor "$target")" -gt "$(floor "$file")" ]; then
            echo "$file (floor $(floor "$file")) includes $target (floor $(floor "$target"))"
            bad=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src tools bench -name '*.cpp' -o -name '*.h' | sort)
if [ "$bad" = 0 ]; then echo "every include points to its own floor or lower"; fi
exit "$bad"
