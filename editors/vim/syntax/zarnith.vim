" Vim syntax file for Zarnith scripts (*.zn).
if exists("b:current_syntax")
  finish
endif

" A line indented with spaces does nothing; tabs are fine.
syntax match znBadIndent "^ \+\ze\S"

syntax match znConditional "^\t*\zs\%(if\|elif\|else\|end\)\ze\%( \|$\)"
syntax match znFlow "^\t*\zs\%(exit\|jump\|return\)\ze\%(,\|$\)"
syntax match znStatement "^\t*\zs\%(print\|printc\|sleep\|append\|typeof\|readline\|use\)\ze\%(,\|$\)"
syntax match znDeclaration "^\t*\zsarray \%(int\|string\)\ze " contains=znArrayKeyword,znType
syntax keyword znArrayKeyword array contained
syntax keyword znType int string contained

" class:command at the start of a line.
syntax match znClassCall "^\t*\zs[^ \t,:\"]\+:[^ \t,:\"]\+" contains=znClassName,znCommand
syntax match znClassName "^\t*\zs[^ \t,:\"]\+\ze:" contained
syntax match znCommand ":\zs[^ \t,:\"]\+" contained

syntax region znString start=+"+ end=+"\|$+ oneline contains=znEscape
syntax match znEscape "\\n" contained
syntax match znOperator "==\|!=\|[<>]\|\%( \)\@<==\%( \)\@=\|[-+*/]"
" Defined after the operators, so a sign sticks to its number.
syntax match znNumber "\%(\w\|\]\)\@<![-+]\=\d\+\%(\w\|\[\)\@!"
syntax match znReserved "\%(\w\|-\)\@<!\%(returned\|arg\)\%(\w\|-\)\@!"

" Only a # in the very first column starts a comment; defined last so it wins.
syntax match znComment "^#.*$"

highlight default link znComment Comment
highlight default link znBadIndent Error
highlight default link znConditional Conditional
highlight default link znFlow Statement
highlight default link znStatement Statement
highlight default link znArrayKeyword StorageClass
highlight default link znType Type
highlight default link znClassName Structure
highlight default link znCommand Function
highlight default link znString String
highlight default link znEscape SpecialChar
highlight default link znNumber Number
highlight default link znOperator Operator
highlight default link znReserved Identifier

let b:current_syntax = "zarnith"
