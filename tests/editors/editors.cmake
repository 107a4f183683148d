# Editor support: the TextMate grammar (through the npm packages VS Code uses)
# and the Vim syntax. Each skips when its tool is not installed.
add_test(NAME editors/textmate
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/editors/editors_test.py textmate
                 ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/editors-npm)
add_test(NAME editors/vim
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/editors/editors_test.py vim
                 ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(editors/textmate editors/vim PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
