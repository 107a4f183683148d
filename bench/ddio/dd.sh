dd if=/dev/zero of=out.bin bs=1M count=64 status=none
dd if=out.bin of=/dev/null bs=64M status=none
stat -c %s out.bin
