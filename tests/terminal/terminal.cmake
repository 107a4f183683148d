# The shell at a real terminal, driven through tmux (skipped without tmux).
add_test(NAME terminal/shell
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/terminal/shell_test.py $<TARGET_FILE:zarnith>)
set_tests_properties(terminal/shell PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)

# Random keys typed at the shell through a pseudo-terminal: no crash, nothing
# on standard error (needs no tmux).
add_test(NAME terminal/keys
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/terminal/keys_test.py $<TARGET_FILE:zarnith>)
set_tests_properties(terminal/keys PROPERTIES TIMEOUT 300)
