# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for kavren: commands, each command's options, the host's
# IPv4 adapter addresses after --adapter and CSV files after --plan.

# The adapter addresses exactly as kavren itself lists them ("ADDRESS (MAC)").
_kavren_adapters() {
    command kavren adapters 2>/dev/null | while read -r address _; do
        [[ $address == +([0-9.]) ]] && printf '%s\n' "$address"
    done
}

_kavren() {
    local cur prev words cword
    _init_completion || return

    local commands="adapters discover configure restore"
    if ((cword == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
        return
    fi

    case $prev in
    --adapter)
        mapfile -t COMPREPLY < <(compgen -W "$(_kavren_adapters)" -- "$cur")
        return
        ;;
    --plan)
        _filedir csv
        return
        ;;
    --password-file | --new-password-file | --audit-file | --output)
        _filedir
        return
        ;;
    --password-env | --new-password-env)
        mapfile -t COMPREPLY < <(compgen -e -- "$cur")
        return
        ;;
    --timeout | --retries | --result-timeout | --mac | --ip | --mask | --gateway | \
        --description | --sequential-from | --check | --check-timeout)
        # A value of the user's own.
        return
        ;;
    esac

    local network="--adapter --timeout --retries --help"
    local sending="--password-file --password-env --broadcast --verify --result-timeout --audit-file --json
        --rollback --check --check-timeout"
    local options
    case ${words[1]} in
    adapters) options="--help" ;;
    discover) options="$network --json --csv --prometheus --zabbix --output" ;;
    diff)
        # "diff" is typed whole: "di" completes to discover alone.
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--json --help" -- "$cur")
        else
            _filedir json
        fi
        return
        ;;
    configure)
        options="$network $sending --mac --ip --mask --gateway --description --new-password
            --new-password-file --new-password-env --plan --sequential-from --dry-run"
        ;;
    restore) options="$network $sending --mac" ;;
    *) return ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
} &&
    complete -F _kavren kavren
