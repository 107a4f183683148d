a = [1, 0, 0, 4]
i = 0
s = 0
while i < 100000:
    x = a[0]
    s = s + x
    y = a[3]
    s = s + y
    a[1] = i
    i = i + 1
print(s)
