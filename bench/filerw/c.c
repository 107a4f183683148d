/* Writes 800 chunks of 64 KiB to out.bin, then reads the file back whole. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

int main(void) {
  static char chunk[65536];
  memset(chunk, 'x', sizeof chunk);
  int fd = open("out.bin", O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
  if (fd < 0) return 1;
  for (int i = 0; i < 800; i++) {
    if (write(fd, chunk, sizeof chunk) != (ssize_t)sizeof chunk) return 1;
  }
  close(fd);
  fd = open("out.bin", O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) return 1;
  char *back = malloc((size_t)st.st_size);
  size_t got = 0;
  while (got < (size_t)st.st_size) {
    ssize_t n = read(fd, back + got, (size_t)st.st_size - got);
    if (n <= 0) break;
    got += (size_t)n;
  }
  close(fd);
  printf("%zu\n", got);
  free(back);
  return 0;
}
