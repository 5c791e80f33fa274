# fish completion for kovolist: its options, the switch they try, and a file.
complete -c kovolist -s a -l after -x -a 'Y N y n' -d 'list the slots as a run would leave them'
complete -c kovolist -s c -l check -x -a 'Y N y n' -d 'whether a run would change the file'
complete -c kovolist -l journal -x -a 'before after' -d 'list the journal beside the file'
complete -c kovolist -s q -l quiet -d 'with --check, only the reason on standard error'
complete -c kovolist -s u -l used -d 'only the used slots'
complete -c kovolist -s j -l json -d 'one JSON document'
complete -c kovolist -s h -l help -d 'show the usage'
complete -c kovolist -s V -l version -d 'show the version'
