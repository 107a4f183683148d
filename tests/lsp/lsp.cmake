# The language server, driven over its standard input and output.
add_test(NAME lsp/protocol
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/lsp/protocol_test.py $<TARGET_FILE:zarnith-lsp>)
set_tests_properties(lsp/protocol PROPERTIES TIMEOUT 120)
