#!/usr/bin/env bash
# The house's floors, checked from the sources (not a build): each room
# includes only its own floor or lower ones, and above the preview layer no
# room reaches a file, folder or setting around it, nor asks whether it
# previews. A step written next year that forgets the layer fails here.
#
# Usage: check_layers.sh SOURCE_ROOT
set -uo pipefail
root=${1:?usage: check_layers.sh SOURCE_ROOT}
cd "$root" || exit 2
status=0
fail() { echo "check_layers: $*"; status=1; }

# Floors, lowest first; upgrade/ and installer/ share the top floor.
declare -A floor=([platform]=0 [preview]=1 [settings]=2 [log]=3 [files]=4 [upgrade]=5 [installer]=5 [include]=0)
for room in platform preview settings log files upgrade installer; do
    while IFS= read -r hit; do
        file=${hit%%:*}
        target=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"${hit#*:}")
        [ -n "${floor[$target]+x}" ] || continue
        if [ "${floor[$target]}" -gt "${floor[$room]}" ]; then
            fail "$file includes $target/ (floor ${floor[$room]} -> ${floor[$target]})"
        fi
    done < <(grep -rHE '^#include "[a-z]+/' "$room" --include='*.cpp' --include='*.h')
done

# The operations the preview must see, called around the layer. The
# report's own file, the log's delete export and the installer's exports
# are no part of an upgrade's changes and never previewed.
ops='Os(GetFileAttributes|GetFileFacts|SetFileAttributes|DeleteFile|CopyFile|MoveFile|Rename|MakeSureDirectoryPathExists|CreateDirectory|RemoveDirectory|FindFirst|FindNext|FindClose|Reg[A-Za-z]+|SHGetSpecialFolderPath|Fopen|SameOpenFile)\('
while IFS= read -r hit; do
    case "${hit%%:*}" in
    upgrade/report.cpp | log/log_file.cpp | installer/*) ;;
    *) fail "around the preview layer: $hit" ;;
    esac
done < <(grep -rnE "$ops" settings log files upgrade installer --include='*.cpp' --include='*.h')

# Only the layer knows whether it previews; only the export switches it.
while IFS= read -r hit; do
    fail "the preview switch outside the layer and the export: $hit"
done < <(grep -rnE '\b(Planning|PreviewBegin|PreviewEnd)\(' settings log files upgrade installer \
             --include='*.cpp' --include='*.h' | grep -v '^upgrade/upgrade_ex.cpp:')

[ $status = 0 ] && echo "check_layers: every room keeps to its floor"
exit $status
