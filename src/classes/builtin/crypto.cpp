// The crypto class: MD5, SHA-1, SHA-256 and SHA-512 digests of a text, as
// lower-case hexadecimal, computed by OpenSSL's libcrypto, or by the digests
// written out in digests.cpp where there is no libcrypto (the browser build).
#include "classes/builtin/crypto.h"

#ifndef ZARNITH_BUNDLED_DIGESTS
#include <openssl/evp.h>
#endif

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "classes/args.h"
#include "classes/builtin/digests.h"
#include "state/shared_library.h"
#include "values/messages.h"
#include "values/report.h"
#include "values/resolve.h"
#include "values/types.h"

namespace zarnith {

namespace {

struct Digest {
  std::string_view command;
  const char* algorithm;  // libcrypto's name for it
  DigestKind kind;        // and the written-out one
};

constexpr std::array<Digest, 4> kDigests{{
    {"md5sum", "MD5", DigestKind::kMd5},
    {"sha1sum", "SHA1", DigestKind::kSha1},
    {"sha256sum", "SHA256", DigestKind::kSha256},
    {"sha512sum", "SHA512", DigestKind::kSha512},
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

#define ZN_STRINGIFY(x) #x
#define ZN_SONAME(version) "libcrypto.so." ZN_STRINGIFY(version)

}  // namespace

#ifdef ZARNITH_BUNDLED_DIGESTS

namespace {

// The digest as hexadecimal text; always available.
std::optional<std::string> cryptoDigestText(Interpreter&, std::size_t which,
                                            std::string_view data) {
  unsigned char digest[kMaxDigestSize];
  std::size_t size = BundledDigest(kDigests[which].kind, data, digest);
  return cryptoHex(digest, static_cast<unsigned int>(size));
}

}  // namespace

#else

// libcrypto, opened on the first digest rather than at start-up (loading it
// takes longer than starting everything else), with the four algorithms
// fetched once and one context reused, so that a digest costs its hashing.
struct CryptoLibrary {
  void* handle = nullptr;
  EVP_MD_CTX* context = nullptr;
  std::array<EVP_MD*, 4> algorithms{};
  int (*init)(EVP_MD_CTX*, const EVP_MD*, const OSSL_PARAM*) = nullptr;
  int (*update)(EVP_MD_CTX*, const void*, size_t) = nullptr;
  int (*final)(EVP_MD_CTX*, unsigned char*, unsigned int*) = nullptr;
  void (*freeAlgorithm)(EVP_MD*) = nullptr;
  void (*freeContext)(EVP_MD_CTX*) = nullptr;

  ~CryptoLibrary() {
    if (freeContext) freeContext(context);
    for (EVP_MD* md : algorithms) {
      if (freeAlgorithm && md) freeAlgorithm(md);
    }
    // The library stays loaded: it keeps state until the process ends.
  }
};

namespace {

std::shared_ptr<CryptoLibrary> cryptoOpen() {
  auto lib = std::make_shared<CryptoLibrary>();
  lib->handle = OpenSharedLibrary(ZN_SONAME(OPENSSL_SHLIB_VERSION));
  if (!lib->handle) return nullptr;
  EVP_MD* (*fetch)(OSSL_LIB_CTX*, const char*, const char*) = nullptr;
  EVP_MD_CTX* (*newContext)() = nullptr;
  bool found = BindSymbol(lib->handle, "EVP_MD_fetch", fetch) &&
               BindSymbol(lib->handle, "EVP_MD_CTX_new", newContext) &&
               BindSymbol(lib->handle, "EVP_DigestInit_ex2", lib->init) &&
               BindSymbol(lib->handle, "EVP_DigestUpdate", lib->update) &&
               BindSymbol(lib->handle, "EVP_DigestFinal_ex", lib->final) &&
               BindSymbol(lib->handle, "EVP_MD_free", lib->freeAlgorithm) &&
               BindSymbol(lib->handle, "EVP_MD_CTX_free", lib->freeContext);
  if (!found || !(lib->context = newContext())) return nullptr;
  for (std::size_t i = 0; i < kDigests.size(); ++i) {
    if (!(lib->algorithms[i] = fetch(nullptr, kDigests[i].algorithm, nullptr))) return nullptr;
  }
  return lib;
}

std::string cryptoDigestHex(const CryptoLibrary& lib, std::size_t which, std::string_view data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  lib.init(lib.context, lib.algorithms[which], nullptr);
  lib.update(lib.context, data.data(), data.size());
  lib.final(lib.context, digest, &size);
  return cryptoHex(digest, size);
}

// The digest as hexadecimal text, or nothing when libcrypto cannot be loaded.
std::optional<std::string> cryptoDigestText(Interpreter& in, std::size_t which,
                                            std::string_view data) {
  if (!in.cryptoLibrary && !(in.cryptoLibrary = cryptoOpen())) return std::nullopt;
  return cryptoDigestHex(*in.cryptoLibrary, which, data);
}

}  // namespace

#endif

namespace {

// One digest command; `which` is its place in kDigests.
template <std::size_t which>
bool cryptoDigest(Interpreter& in, ArgList args) {
  if (!ArgType(in, args, 1, type::kString, msg::kFirstNotString)) return true;
  // The variable's own text, not a copy: a script may hash a whole file.
  std::optional<std::string> hex = cryptoDigestText(in, which, ResolveShared(in, args[1]));
  if (!hex) {
    PrintError(in, msg::kCryptoUnavailable);
    return true;
  }
  SetReturned(in, std::move(*hex));
  return true;
}

constexpr std::array<ClassCommand, kDigests.size()> kCommands{{
    {kDigests[0].command, cryptoDigest<0>, 2, msg::kMissedFewArguments},
    {kDigests[1].command, cryptoDigest<1>, 2, msg::kMissedFewArguments},
    {kDigests[2].command, cryptoDigest<2>, 2, msg::kMissedFewArguments},
    {kDigests[3].command, cryptoDigest<3>, 2, msg::kMissedFewArguments},
}};

}  // namespace

std::span<const ClassCommand> CryptoCommands() { return kCommands; }

bool CryptoClassHandler(Interpreter& in, ArgList args) {
  return RunClassCommand(in, args, kCommands, true);
}

}  // namespace zarnith
