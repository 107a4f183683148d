" Vim compiler file: :compiler zarnith, then :make checks the current script
" with zarnith-check and fills the quickfix list.
if exists("current_compiler")
  finish
endif
let current_compiler = "zarnith"

if exists(":CompilerSet") != 2
  command -nargs=* CompilerSet setlocal <args>
endif

CompilerSet makeprg=zarnith-check\ %:S
" FILE:LINE:COLUMN: error|warning|note: message [code]
CompilerSet errorformat=%f:%l:%c:\ %trror:\ %m,%f:%l:%c:\ %tarning:\ %m,%f:%l:%c:\ %tote:\ %m
