i=0
while [ "$i" -lt 1000 ]; do
  /bin/true
  i=$((i + 1))
done
echo
echo "$i"
