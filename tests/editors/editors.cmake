# Editor support: the TextMate grammar (through the npm packages VS Code uses),
# the VS Code extension (loaded with a fake `vscode`), the Vim syntax, and
# Neovim's built-in LSP client against zarnith-lsp. Each skips when its tool
# is not installed. The npm tests share one installed node_modules.
add_test(NAME editors/textmate
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/editors/editors_test.py textmate
                 ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/editors-npm)
add_test(NAME editors/vscode-extension
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/editors/editors_test.py extension
                 ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/editors-npm)
set_tests_properties(editors/textmate editors/vscode-extension PROPERTIES RESOURCE_LOCK editors-npm)
add_test(NAME editors/vim
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/editors/editors_test.py vim
                 ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(editors/textmate editors/vscode-extension editors/vim
                     PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
# The server comes from the build tree; the test goes with its target.
if(TARGET zarnith-lsp)
  add_test(NAME editors/neovim-lsp
           COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/editors/editors_test.py neovim
                   ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR} $<TARGET_FILE:zarnith-lsp>)
  set_tests_properties(editors/neovim-lsp PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
