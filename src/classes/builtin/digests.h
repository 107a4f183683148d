// The four digests of the crypto class written out in full, for builds that
// have no libcrypto to load (the browser build). The native build computes
// with libcrypto; a unit test holds the two to the same results.
#pragma once

#include <cstddef>
#include <string_view>

namespace zarnith {

enum class DigestKind { kMd5, kSha1, kSha256, kSha512 };

inline constexpr std::size_t kMaxDigestSize = 64;

// Writes the digest of `data` to `out` (room for kMaxDigestSize bytes) and
// returns its size in bytes.
std::size_t BundledDigest(DigestKind kind, std::string_view data, unsigned char* out);

}  // namespace zarnith
