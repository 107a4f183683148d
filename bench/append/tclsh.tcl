proc main {} {
    set s ""
    set i 0
    while {$i < 100000} {
        append s x
        incr i
    }
    puts $s
}
main
