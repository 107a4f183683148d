-- Drives Neovim's built-in LSP client (the 0.7 interface, which later
-- versions keep), started by the setup that editors/README.md gives, against
-- zarnith-lsp on the script in the current buffer: the checker's warning
-- arrives, `gd` follows a jump, after a line is inserted above a jump target
-- the "Update N jump targets" action, run through workspace/executeCommand,
-- shifts the targets in the buffer, `K` shows the help of a statement and
-- Ctrl-X Ctrl-O completes through the omnifunc the setup sets.
--
-- Run by editors_test.py: nvim --headless -u SETUP ... SCRIPT -c 'luafile THIS',
-- with the server on the PATH and its exit status recorded in
-- _G.zarnith_lsp_exit. The script it writes:
--   1 # Counts to three, then says so.
--   2 i = 0
--   3 prnt, "counting"       a warning: no-statement
--   4 end                    the loop's top: `jump, 4` lands here
--   5 i = i+1
--   6 if i == 3
--   7 jump, 10
--   8 end
--   9 jump, 4
--  10 end
--  11 print, "done"
-- Exits 0 when every step passed; otherwise prints the failed step and exits 1.

local TIMEOUT_MS = 10000

local function fail(message)
  io.stderr:write('nvim lsp test: ' .. message .. '\n')
  vim.cmd('cquit 1')
end

-- A value as JSON, for the failure messages.
local function show(value)
  local ok, text = pcall(vim.fn.json_encode, value)
  return ok and text or tostring(value)
end

local function step(message)
  io.stdout:write(message .. '\n')
end

-- Waits until condition() holds; fails with what was being waited for, and
-- what explain() says about the state it was in.
local function wait_for(what, condition, explain)
  if not vim.wait(TIMEOUT_MS, condition, 20) then
    fail('timed out waiting for ' .. what .. (explain and ('; ' .. explain()) or ''))
  end
end

local function buffer_text(bufnr)
  return 'the buffer holds:\n' .. table.concat(vim.api.nvim_buf_get_lines(bufnr, 0, -1, true), '\n')
end

-- A request answered through a handler of our own, so the client's default
-- handlers (and their messages) stay out of the way.
local function request(client, method, params, bufnr)
  local response
  client.request(method, params, function(err, result)
    response = { err = err, result = result }
  end, bufnr)
  wait_for('the answer to ' .. method, function() return response ~= nil end)
  if response.err then
    fail(method .. ' failed: ' .. show(response.err))
  end
  return response.result
end

local function expect_line(bufnr, number, expected)
  local line = vim.api.nvim_buf_get_lines(bufnr, number - 1, number, true)[1]
  if line ~= expected then
    fail(string.format('line %d is %q, expected %q', number, line, expected))
  end
end

local function run()
  -- Every message in the log, which the runner shows when a step failed.
  vim.lsp.set_log_level('debug')
  local bufnr = vim.api.nvim_get_current_buf()
  local uri = vim.uri_from_bufnr(bufnr)
  if vim.bo[bufnr].filetype ~= 'zarnith' then
    fail('the buffer has the filetype ' .. show(vim.bo[bufnr].filetype) .. ', not zarnith')
  end
  local client
  wait_for('the setup to start zarnith-lsp', function()
    client = vim.lsp.buf_get_clients(bufnr)[next(vim.lsp.buf_get_clients(bufnr)) or 0]
    return client ~= nil
  end)
  local client_id = client.id
  wait_for('the server to initialize', function() return client.initialized end)
  local sync = client.server_capabilities.textDocumentSync
  if type(sync) ~= 'table' or sync.change ~= vim.lsp.protocol.TextDocumentSyncKind.Incremental then
    fail('the server does not ask for incremental changes: ' .. show(sync))
  end

  step('diagnostics')
  wait_for('diagnostics', function() return #vim.diagnostic.get(bufnr) > 0 end)
  local warned = false
  for _, d in ipairs(vim.diagnostic.get(bufnr)) do
    if d.lnum == 2 and d.code == 'no-statement' and d.severity == vim.diagnostic.severity.WARN then
      warned = true
    end
  end
  if not warned then
    fail('no no-statement warning on line 3; diagnostics: ' .. show(vim.diagnostic.get(bufnr)))
  end

  step('go to definition with gd')
  vim.api.nvim_win_set_cursor(0, { 9, 0 })
  vim.api.nvim_feedkeys('gd', 'x', false)
  wait_for('the cursor to move from `jump, 4` to line 4', function()
    return vim.api.nvim_win_get_cursor(0)[1] == 4
  end, function() return 'the cursor is on line ' .. vim.api.nvim_win_get_cursor(0)[1] end)

  step('insert a line above the jump target')
  vim.api.nvim_buf_set_lines(bufnr, 3, 3, true, { '# The loop starts here.' })
  local range = { start = { line = 0, character = 0 }, ['end'] = { line = 0, character = 0 } }
  local actions = request(client, 'textDocument/codeAction',
    { textDocument = { uri = uri }, range = range, context = { diagnostics = {} } }, bufnr) or {}
  local update
  for _, action in ipairs(actions) do
    if action.title == 'Update 2 jump targets' then update = action end
  end
  if not update then
    fail('no "Update 2 jump targets" action; actions: ' .. show(actions))
  end
  if update.kind ~= 'quickfix' or update.edit ~= nil or type(update.command) ~= 'table'
      or update.command.command ~= 'zarnith.updateJumpTargets' then
    fail('the update action is not a quickfix that runs zarnith.updateJumpTargets: ' .. show(update))
  end

  step('update the jump targets')
  -- The server answers with a workspace/applyEdit request, which the
  -- client's own handler applies to the buffer.
  request(client, 'workspace/executeCommand',
    { command = update.command.command, arguments = update.command.arguments }, bufnr)
  wait_for('the buffer to show `jump, 11` on line 8', function()
    return vim.api.nvim_buf_get_lines(bufnr, 7, 8, true)[1] == 'jump, 11'
  end, function() return buffer_text(bufnr) end)
  expect_line(bufnr, 10, 'jump, 5')
  expect_line(bufnr, 4, '# The loop starts here.')
  expect_line(bufnr, 5, 'end')

  step('hover with K')
  vim.api.nvim_win_set_cursor(0, { 12, 0 })
  vim.api.nvim_feedkeys('K', 'x', false)
  local hover
  wait_for('the hover window', function()
    for _, win in ipairs(vim.api.nvim_list_wins()) do
      if vim.api.nvim_win_get_config(win).relative ~= '' then hover = win end
    end
    return hover ~= nil
  end)
  local shown = table.concat(vim.api.nvim_buf_get_lines(vim.api.nvim_win_get_buf(hover), 0, -1, true), '\n')
  if not shown:find('print, text', 1, true) then
    fail('the hover window does not show how print is written:\n' .. shown)
  end
  vim.api.nvim_win_close(hover, true)

  step('complete with Ctrl-X Ctrl-O')
  if vim.bo[bufnr].omnifunc ~= 'v:lua.vim.lsp.omnifunc' then
    fail('the omnifunc is ' .. show(vim.bo[bufnr].omnifunc))
  end
  -- The answer arrives while insert mode waits for keys; a timer then reads
  -- the completion menu and leaves insert mode, which ends feedkeys.
  local items
  local deadline = vim.loop.now() + TIMEOUT_MS
  local timer = vim.loop.new_timer()
  timer:start(20, 20, vim.schedule_wrap(function()
    if items or timer:is_closing() then return end  -- ticks queued before the stop
    local found = vim.fn.complete_info({ 'items' }).items
    if #found == 0 and vim.loop.now() < deadline then return end
    items = found
    timer:close()
    vim.api.nvim_feedkeys(vim.api.nvim_replace_termcodes('<Esc>', true, false, true), 'n', false)
  end))
  vim.api.nvim_feedkeys(vim.api.nvim_replace_termcodes('Gopri<C-x><C-o>', true, false, true), 'x!', false)
  local words = {}
  for _, item in ipairs(items or {}) do table.insert(words, item.word) end
  table.sort(words)
  if table.concat(words, ' ') ~= 'print printc' then
    fail('completing pri offers ' .. show(words) .. ', expected print and printc')
  end
  vim.api.nvim_buf_set_lines(bufnr, 12, 13, true, {})

  step('shut down')
  vim.lsp.stop_client(client_id)
  wait_for('the server to exit', function() return _G.zarnith_lsp_exit ~= nil end)
  if _G.zarnith_lsp_exit ~= 0 then
    fail('the server exited with status ' .. _G.zarnith_lsp_exit .. ' after shutdown and exit')
  end
end

local ok, err = xpcall(run, debug.traceback)
if not ok then
  fail(tostring(err))
end
step('all steps passed')
vim.cmd('qall!')
