proc main {} {
    set i 0
    while {$i < 1000000} {
        set i [expr {$i + 1}]
    }
    puts $i
}
main
