with open("words.txt", "rb") as f:
    text = f.read().decode()
words = text.split(" ")
print(len(words))
print(words[-1])
