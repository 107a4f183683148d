// MD5, SHA-1, SHA-256 and SHA-512 written out, for builds without libcrypto
// (the browser build). Each hashes a whole text in one call: the blocks of
// the text, then one or two final blocks that hold the padding and the
// length in bits.
#include "classes/builtin/digests.h"

#include <cstdint>
#include <cstring>

namespace zarnith {

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;

u32 Rotl32(u32 x, int n) { return (x << n) | (x >> (32 - n)); }

u32 LoadLe32(const unsigned char* p) {
  return u32{p[0]} | u32{p[1]} << 8 | u32{p[2]} << 16 | u32{p[3]} << 24;
}
u32 LoadBe32(const unsigned char* p) {
  return u32{p[0]} << 24 | u32{p[1]} << 16 | u32{p[2]} << 8 | u32{p[3]};
}

void StoreLe32(unsigned char* p, u32 v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void StoreBe32(unsigned char* p, u32 v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

// Hands every block of `data` to `compress`, then the padded end: the last
// bytes, 0x80, zeros and the length in bits in the block's last
// `lengthBytes` bytes (little-endian for MD5, big-endian for the others).
template <std::size_t kBlock, typename Compress>
void HashBlocks(std::string_view data, std::size_t lengthBytes, bool bigEndian,
                Compress compress) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  const std::size_t whole = data.size() / kBlock * kBlock;
  for (std::size_t i = 0; i < whole; i += kBlock) compress(bytes + i);
  unsigned char tail[2 * kBlock] = {};
  const std::size_t rest = data.size() - whole;
  if (rest > 0) std::memcpy(tail, bytes + whole, rest);
  tail[rest] = 0x80;
  const std::size_t size = rest + 1 + lengthBytes <= kBlock ? kBlock : 2 * kBlock;
  const u64 bits = static_cast<u64>(data.size()) * 8;
  for (std::size_t i = 0; i < 8; ++i) {
    auto byte = static_cast<unsigned char>(bits >> (8 * i));
    if (bigEndian) {
      tail[size - 1 - i] = byte;
    } else {
      tail[size - lengthBytes + i] = byte;
    }
  }
  compress(tail);
  if (size == 2 * kBlock) compress(tail + kBlock);
}

constexpr u32 kMd5K[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee,
    0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be,
    0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa,
    0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c,
    0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05,
    0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039,
    0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1,
    0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
constexpr int kMd5Shift[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

std::size_t Md5(std::string_view data, unsigned char* out) {
  u32 h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  HashBlocks<64>(data, 8, false, [&h](const unsigned char* block) {
    u32 m[16];
    for (int i = 0; i < 16; ++i) m[i] = LoadLe32(block + 4 * i);
    u32 a = h[0], b = h[1], c = h[2], d = h[3];
    for (int i = 0; i < 64; ++i) {
      u32 f;
      int g;
      if (i < 16) {
        f = (b & c) | (~b & d);
        g = i;
      } else if (i < 32) {
        f = (d & b) | (~d & c);
        g = (5 * i + 1) % 16;
      } else if (i < 48) {
        f = b ^ c ^ d;
        g = (3 * i + 5) % 16;
      } else {
        f = c ^ (b | ~d);
        g = (7 * i) % 16;
      }
      f += a + kMd5K[i] + m[g];
      a = d;
      d = c;
      c = b;
      b += Rotl32(f, kMd5Shift[(i / 16) * 4 + i % 4]);
    }
    const u32 v[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) h[i] += v[i];
  });
  for (int i = 0; i < 4; ++i) StoreLe32(out + 4 * i, h[i]);
  return 16;
}

std::size_t Sha1(std::string_view data, unsigned char* out) {
  u32 h[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
  HashBlocks<64>(data, 8, true, [&h](const unsigned char* block) {
    u32 w[80];
    for (int i = 0; i < 16; ++i) w[i] = LoadBe32(block + 4 * i);
    for (int i = 16; i < 80; ++i) w[i] = Rotl32(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    u32 a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
      u32 f, k;
      if (i < 20) {
        f = (b & c) | (~b & d);
        k = 0x5a827999;
      } else if (i < 40) {
        f = b ^ c ^ d;
        k = 0x6ed9eba1;
      } else if (i < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8f1bbcdc;
      } else {
        f = b ^ c ^ d;
        k = 0xca62c1d6;
      }
      u32 t = Rotl32(a, 5) + f + e + k + w[i];
      e = d;
      d = c;
      c = Rotl32(b, 30);
      b = a;
      a = t;
    }
    const u32 v[5] = {a, b, c, d, e};
    for (int i = 0; i < 5; ++i) h[i] += v[i];
  });
  for (int i = 0; i < 5; ++i) StoreBe32(out + 4 * i, h[i]);
  return 20;
}

constexpr u32 kSha256K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5,
    0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3,
    0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc,
    0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13,
    0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3,
    0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5,
    0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
    0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr u64 kSha512K[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd,
    0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019,
    0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe,
    0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1,
    0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3,
    0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483,
    0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210,
    0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725,
    0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926,
    0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8,
    0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001,
    0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910,
    0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53,
    0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb,
    0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60,
    0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9,
    0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207,
    0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6,
    0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493,
    0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a,
    0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

// What tells SHA-256 and SHA-512 apart: the word size, the round constants
// and the rotations and shifts of their four mixing functions.
struct Sha2Shape {
  int big0[3], big1[3], small0[3], small1[3];
};
constexpr Sha2Shape kSha256Shape{{2, 13, 22}, {6, 11, 25}, {7, 18, 3}, {17, 19, 10}};
constexpr Sha2Shape kSha512Shape{{28, 34, 39}, {14, 18, 41}, {1, 8, 7}, {19, 61, 6}};

template <typename Word>
Word Rotr(Word x, int n) {
  return (x >> n) | (x << (8 * sizeof(Word) - n));
}

template <typename Word>
Word Big(Word x, const int (&r)[3]) {
  return Rotr(x, r[0]) ^ Rotr(x, r[1]) ^ Rotr(x, r[2]);
}

template <typename Word>
Word Small(Word x, const int (&r)[3]) {
  return Rotr(x, r[0]) ^ Rotr(x, r[1]) ^ (x >> r[2]);
}

template <typename Word>
Word LoadBe(const unsigned char* p) {
  Word w = 0;
  for (std::size_t i = 0; i < sizeof(Word); ++i) w = (w << 8) | p[i];
  return w;
}

// One SHA-2 digest with `rounds` rounds (the count of `k`) over blocks of 16
// words, the length taking two words.
template <typename Word, int kRounds>
std::size_t Sha2(std::string_view data, const Word (&k)[kRounds], const Sha2Shape& shape,
                 Word (&h)[8], unsigned char* out) {
  constexpr std::size_t kWord = sizeof(Word);
  HashBlocks<16 * kWord>(data, 2 * kWord, true, [&](const unsigned char* block) {
    Word w[kRounds];
    for (int i = 0; i < 16; ++i) w[i] = LoadBe<Word>(block + kWord * i);
    for (int i = 16; i < kRounds; ++i) {
      w[i] = w[i - 16] + Small(w[i - 15], shape.small0) + w[i - 7] + Small(w[i - 2], shape.small1);
    }
    Word v[8];
    std::memcpy(v, h, sizeof v);
    for (int i = 0; i < kRounds; ++i) {
      Word ch = (v[4] & v[5]) ^ (~v[4] & v[6]);
      Word t1 = v[7] + Big(v[4], shape.big1) + ch + k[i] + w[i];
      Word maj = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
      Word t2 = Big(v[0], shape.big0) + maj;
      std::memmove(v + 1, v, 7 * kWord);  // h = g, g = f, ..., b = a
      v[4] += t1;
      v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i) h[i] += v[i];
  });
  for (int i = 0; i < 8; ++i) {
    for (std::size_t j = 0; j < kWord; ++j) {
      out[kWord * i + j] = static_cast<unsigned char>(h[i] >> (8 * (kWord - 1 - j)));
    }
  }
  return 8 * kWord;
}

std::size_t Sha256(std::string_view data, unsigned char* out) {
  u32 h[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
  };
  return Sha2(data, kSha256K, kSha256Shape, h, out);
}

std::size_t Sha512(std::string_view data, unsigned char* out) {
  u64 h[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b,
    0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f,
    0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
  };
  return Sha2(data, kSha512K, kSha512Shape, h, out);
}

}  // namespace

std::size_t BundledDigest(DigestKind kind, std::string_view data, unsigned char* out) {
  switch (kind) {
    case DigestKind::kMd5:
      return Md5(data, out);
    case DigestKind::kSha1:
      return Sha1(data, out);
    case DigestKind::kSha256:
      return Sha256(data, out);
    case DigestKind::kSha512:
      return Sha512(data, out);
  }
  return 0;
}

}  // namespace zarnith
