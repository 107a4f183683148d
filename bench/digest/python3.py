import hashlib
with open("data.bin", "rb") as f:
    data = f.read()
print(hashlib.md5(data).hexdigest())
print(hashlib.sha256(data).hexdigest())
