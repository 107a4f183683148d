" Zarnith: a line indented with spaces does nothing, so indent with tabs.
if exists("b:did_ftplugin")
  finish
endif
let b:did_ftplugin = 1

setlocal noexpandtab
setlocal commentstring=#%s
setlocal comments=:#

let b:undo_ftplugin = "setlocal expandtab< commentstring< comments<"
