chunk = b"x" * 65536
with open("out.bin", "wb", buffering=0) as f:
    i = 0
    while i < 800:
        f.write(chunk)
        i = i + 1
with open("out.bin", "rb") as f:
    back = f.read()
print(len(back))
