#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints, one line per LINE, what a Tab at the end of LINE offers with the
# kavren bash completion FILE loaded, as readline would ask it.
#
#   complete.sh FILE LINE...
source /usr/share/bash-completion/bash_completion
source "$1"
shift
for line in "$@"; do
    COMP_LINE=$line COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMPREPLY=()
    _kavren
    echo "${COMPREPLY[*]}"
done
