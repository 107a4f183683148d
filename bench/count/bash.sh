i=0
while [ "$i" -lt 1000000 ]; do
  i=$((i + 1))
done
echo "$i"
