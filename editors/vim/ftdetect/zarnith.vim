" Zarnith scripts: *.zn files, and scripts whose first line runs zarnith.
autocmd BufRead,BufNewFile *.zn setfiletype zarnith
autocmd BufRead,BufNewFile * if getline(1) =~# '^#!.*\<zarnith\>' | setfiletype zarnith | endif
