local i, a, b, c, d = 0, 0, 0, 0, 0
while i < 200000 do
  i = i + 1
  b = i * 3
  c = b - i
  d = c // 2
  a = a + d
end
print(a)
