i = 0
a = 0
while i < 200000:
    i = i + 1
    b = i * 3
    c = b - i
    d = c // 2
    a = a + d
print(a)
