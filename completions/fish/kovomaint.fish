# fish completion for kovomaint: its one switch, in either case.
complete -c kovomaint -f -n '__fish_is_first_arg' -a 'Y\t"pack and sort" N\t"pack only" y\t"pack and sort" n\t"pack only"'
