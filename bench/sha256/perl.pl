use Digest::SHA qw(sha256_hex);
my $i = 0;
my $d;
while ($i < 100000) {
    $d = sha256_hex("The quick brown fox jumps over the lazy dog");
    $i = $i + 1;
}
print "$d\n";
