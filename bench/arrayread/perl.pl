my @a = (1, 0, 0, 4);
my ($i, $s) = (0, 0);
while ($i < 100000) {
    my $x = $a[0];
    $s = $s + $x;
    my $y = $a[3];
    $s = $s + $y;
    $a[1] = $i;
    $i = $i + 1;
}
print "$s\n";
