local a = {1, 0, 0, 4}
local i, s = 0, 0
while i < 100000 do
  local x = a[1]
  s = s + x
  local y = a[4]
  s = s + y
  a[2] = i
  i = i + 1
end
print(s)
