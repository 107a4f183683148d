# zarnith-dap: protocol transcripts through a small stdio client, and the
# client VS Code's own adapters are tested with (npm @vscode/debugadapter-testsupport,
# installed from the committed lock file; skipped when node is missing).
add_test(NAME dap/transcripts
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/dap/transcript_test.py $<TARGET_FILE:zarnith-dap>)
set_tests_properties(dap/transcripts PROPERTIES TIMEOUT 300)
add_test(NAME dap/debug-client
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/dap/client/debug_client.py $<TARGET_FILE:zarnith-dap>
                 ${CMAKE_CURRENT_BINARY_DIR}/dap-npm)
set_tests_properties(dap/debug-client PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
