import subprocess
i = 0
while i < 1000:
    subprocess.run(["true"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
    i = i + 1
print()
print(i)
