// The bundled digests of the browser build against libcrypto, which the
// native build uses: every length from 0 to 599 bytes (each padding case of
// both block sizes, several times over) and one input of 1 MiB.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <string>

#include "classes/builtin/digests.h"

namespace zarnith {
namespace {

struct Algorithm {
  DigestKind kind;
  const EVP_MD* (*md)();
  const char* name;
};

const Algorithm kAlgorithms[] = {
    {DigestKind::kMd5, EVP_md5, "MD5"},
    {DigestKind::kSha1, EVP_sha1, "SHA-1"},
    {DigestKind::kSha256, EVP_sha256, "SHA-256"},
    {DigestKind::kSha512, EVP_sha512, "SHA-512"},
};

// Bytes of every value, from a fixed linear congruential sequence.
std::string Bytes(std::size_t size) {
  std::string data(size, '\0');
  std::uint32_t state = 12345;
  for (char& c : data) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return data;
}

std::string Hex(const unsigned char* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0xf];
  }
  return out;
}

std::string Bundled(DigestKind kind, const std::string& data) {
  unsigned char out[kMaxDigestSize];
  return Hex(out, BundledDigest(kind, data, out));
}

std::string Libcrypto(const EVP_MD* md, const std::string& data) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EXPECT_EQ(EVP_Digest(data.data(), data.size(), out, &size, md, nullptr), 1);
  return Hex(out, size);
}

TEST(Digests, MatchLibcryptoForEveryShortLength) {
  const std::string data = Bytes(599);
  for (const Algorithm& a : kAlgorithms) {
    for (std::size_t n = 0; n <= data.size(); ++n) {
      std::string prefix = data.substr(0, n);
      ASSERT_EQ(Bundled(a.kind, prefix), Libcrypto(a.md(), prefix)) << a.name << ", " << n
                                                                      << " bytes";
    }
  }
}

TEST(Digests, MatchLibcryptoForOneMebibyte) {
  const std::string data = Bytes(1 << 20);
  for (const Algorithm& a : kAlgorithms) {
    EXPECT_EQ(Bundled(a.kind, data), Libcrypto(a.md(), data)) << a.name;
  }
}

}  // namespace
}  // namespace zarnith
