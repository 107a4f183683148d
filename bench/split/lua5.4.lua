local f = assert(io.open("words.txt", "rb"))
local text = f:read("a")
f:close()
local words, n, start = {}, 0, 1
while true do
  local at = string.find(text, " ", start, true)
  n = n + 1
  if not at then
    words[n] = string.sub(text, start)
    break
  end
  words[n] = string.sub(text, start, at - 1)
  start = at + 1
end
print(n)
print(words[n])
