import hashlib
i = 0
while i < 100000:
    d = hashlib.sha256(b"The quick brown fox jumps over the lazy dog").hexdigest()
    i = i + 1
print(d)
