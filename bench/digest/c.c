/* Reads data.bin whole and prints its MD5 and SHA-256 digests. */
#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>

static void print_digest(const EVP_MD *md, const unsigned char *data, size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(data, size, digest, &length, md, NULL);
  for (unsigned int i = 0; i < length; i++) printf("%02x", digest[i]);
  printf("\n");
}

int main(void) {
  FILE *f = fopen("data.bin", "rb");
  if (!f) return 1;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  unsigned char *data = malloc(size > 0 ? (size_t)size : 1);
  if (!data || fread(data, 1, (size_t)size, f) != (size_t)size) return 1;
  fclose(f);
  print_digest(EVP_md5(), data, (size_t)size);
  print_digest(EVP_sha256(), data, (size_t)size);
  free(data);
  return 0;
}
