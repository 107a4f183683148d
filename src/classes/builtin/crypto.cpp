// The crypto class: MD5, SHA-1, SHA-256 and SHA-512 digests of a text, as
// lower-case hexadecimal, computed by OpenSSL's libcrypto.
#include "classes/builtin/crypto.h"

#include <openssl/evp.h>

#include <array>
#include <string>
#include <string_view>

#include "classes/args.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/types.h"

namespace zarnith {

namespace {

struct Digest {
  std::string_view command;
  const EVP_MD* (*algorithm)();
};

constexpr std::array<Digest, 4> kDigests{{
    {"md5sum", EVP_md5},
    {"sha1sum", EVP_sha1},
    {"sha256sum", EVP_sha256},
    {"sha512sum", EVP_sha512},
}};

std::string cryptoHex(const unsigned char* bytes, unsigned int size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(size * 2, '0');
  for (unsigned int i = 0; i < size; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0xf];
  }
  return out;
}

std::string cryptoDigestHex(const EVP_MD* algorithm, std::string_view data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(data.data(), data.size(), digest, &size, algorithm, nullptr);
  return cryptoHex(digest, size);
}

}  // namespace

bool CryptoClassHandler(Interpreter& in, ArgList args) {
  for (const Digest& d : kDigests) {
    if (args[0] != d.command) continue;
    if (!ArgCount(in, args, 2, msg::kMissedFewArguments)) return true;
    if (!ArgType(in, args, 1, type::kString, msg::kFirstNotString)) return true;
    SetReturned(in, cryptoDigestHex(d.algorithm(), ArgText(in, args[1])));
    return true;
  }
  return true;
}

}  // namespace zarnith
