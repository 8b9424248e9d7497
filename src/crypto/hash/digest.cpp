// The digest framework: the length table, the one-shot DoDigest and the
// streaming layer over the SHA-256, SHA-512 and RIPEMD-160 descriptors.
#include "crypto/hash/digest.h"

#include <climits>
#include <cstring>

#include "trail/trail.h"
#include "crypto/hash/digest_blocks.h"
#include "crypto/hash/keccak.h"
#include "platform/memory.h"

namespace {

bool KnownDesc(const NXVT_DIGEST_DESC* d) {
  return d == &NXVT_SHA256_DESC || d == &NXVT_SHA512_DESC || d == &NXVT_RIPEMD160_DESC;
}

// Whole-block compression of each streaming descriptor.
void Sha256Blocks(NXVT_DIGEST_CTX* ctx, const unsigned char* data, size_t blocks) {
  NXVT_SHA256_Blocks(ctx->w32.state, data, blocks);
}
void Sha512Blocks(NXVT_DIGEST_CTX* ctx, const unsigned char* data, size_t blocks) {
  NXVT_SHA512_Blocks(ctx->w64.state, data, blocks);
}
void Ripemd160Blocks(NXVT_DIGEST_CTX* ctx, const unsigned char* data, size_t blocks) {
  NXVT_RIPEMD160_Blocks(ctx->w32.state, data, blocks);
}

using BlocksFn = void (*)(NXVT_DIGEST_CTX*, const unsigned char*, size_t);

BlocksFn BlocksFor(const NXVT_DIGEST_DESC* d) {
  static const struct {
    const NXVT_DIGEST_DESC* desc;
    BlocksFn blocks;
  } kRows[] = {{&NXVT_SHA256_DESC, Sha256Blocks}, {&NXVT_SHA512_DESC, Sha512Blocks},
               {&NXVT_RIPEMD160_DESC, Ripemd160Blocks}};
  for (const auto& r : kRows) {
    if (r.desc == d) return r.blocks;
  }
  return nullptr;
}

// Feeds `len` bytes through a block buffer of `B` bytes: a partly filled
// buffer is completed and compressed, the whole blocks after it are
// compressed straight from the input in one call, the rest is kept. The
// count words are kept by the caller.
template <class Ctx>
void Absorb(NXVT_DIGEST_CTX* ctx, Ctx& part, size_t n, size_t B, const unsigned char* data, size_t len) {
  if (n + len < B) {
    memcpy(part.block + n, data, len);
    return;
  }
  const BlocksFn blocks = BlocksFor(ctx->desc);
  if (n > 0) {
    const size_t take = B - n;
    memcpy(part.block + n, data, take);
    blocks(ctx, part.block, 1);
    data += take;
    len -= take;
  }
  if (len >= B) {
    blocks(ctx, data, len / B);
    data += len / B * B;
    len %= B;
  }
  if (len > 0) memcpy(part.block, data, len);
}

// Pads the buffer of a context copy, appends the bit count and compresses.
// `lenBytes` is the width of the length field (8, or 16 for SHA-512).
template <class Ctx, class Word>
void Pad(NXVT_DIGEST_CTX* ctx, Ctx& part, size_t B, size_t lenBytes) {
  const size_t n = static_cast<size_t>(part.count[0] % B);
  part.block[n] = 0x80;
  if (n + 1 > B - lenBytes) {
    memset(part.block + n + 1, 0, B - n - 1);
    ctx->desc->compress(ctx, part.block);
    memset(part.block, 0, B - lenBytes);
  } else {
    memset(part.block + n + 1, 0, B - lenBytes - n - 1);
  }
  constexpr int kTop = static_cast<int>(sizeof(Word) * 8 - 3);
  part.count[1] = static_cast<Word>(part.count[1] * 8 + (part.count[0] >> kTop));
  part.count[0] = static_cast<Word>(part.count[0] * 8);
  ctx->desc->length(part.block, ctx);
  ctx->desc->compress(ctx, part.block);
}

}  // namespace

uint32_t GetDigestLen(HashId id) {
  switch (id) {
    case kHashSha256: return 32;
    case kHashSha512: return 64;
    case kHashRipemd160: return 20;
    case kHashKeccak224: return 28;
    case kHashKeccak256: return 32;
    case kHashKeccak384: return 48;
    case kHashKeccak512: return 64;
    default: return 0;
  }
}

const NXVT_DIGEST_DESC* DigestDescForId(HashId id) {
  switch (id) {
    case kHashSha256: return &NXVT_SHA256_DESC;
    case kHashSha512: return &NXVT_SHA512_DESC;
    case kHashRipemd160: return &NXVT_RIPEMD160_DESC;
    default: return nullptr;
  }
}

int NXVT_Digest_Init(NXVT_DIGEST_CTX* ctx, const NXVT_DIGEST_DESC* desc) {
  if (ctx == nullptr || desc == nullptr || !KnownDesc(desc)) return -1;
  ctx->desc = desc;
  if (desc == &NXVT_SHA512_DESC) {
    desc->init(ctx);
    memset(ctx->w64.block, 0, sizeof ctx->w64.block);
    ctx->w64.count[0] = ctx->w64.count[1] = 0;
  } else {
    desc->init(ctx);
    memset(ctx->w32.block, 0, sizeof ctx->w32.block);
    ctx->w32.count[0] = ctx->w32.count[1] = 0;
  }
  return 0;
}

void NXVT_Digest_Update(NXVT_DIGEST_CTX* ctx, const unsigned char* data, int32_t len) {
  // A negative length is no length: nothing is copied or counted.
  if (ctx == nullptr || data == nullptr || len <= 0 || !KnownDesc(ctx->desc)) return;
  const size_t n = static_cast<size_t>(len);
  if (ctx->desc == &NXVT_SHA512_DESC) {
    auto& p = ctx->w64;
    const size_t used = static_cast<size_t>(p.count[0] % 128);
    p.count[0] += n;
    if (p.count[0] < n) ++p.count[1];
    Absorb(ctx, p, used, 128, data, n);
  } else {
    auto& p = ctx->w32;
    const size_t used = p.count[0] % 64;
    p.count[0] += static_cast<uint32_t>(n);
    if (p.count[0] < static_cast<uint32_t>(n)) ++p.count[1];
    Absorb(ctx, p, used, 64, data, n);
  }
}

void DigestUpdateAll(NXVT_DIGEST_CTX* ctx, const unsigned char* data, size_t len) {
  constexpr size_t kSlice = size_t{1} << 30;
  while (data != nullptr && len > 0) {
    const size_t n = len < kSlice ? len : kSlice;
    NXVT_Digest_Update(ctx, data, static_cast<int32_t>(n));
    data += n;
    len -= n;
  }
}

void NXVT_Digest_FinalInPlace(unsigned char* out, int32_t* outLen, NXVT_DIGEST_CTX* ctx) {
  if (out == nullptr || outLen == nullptr || ctx == nullptr || !KnownDesc(ctx->desc)) return;
  const int32_t capacity = *outLen;
  *outLen = 0;
  const uint32_t size = ctx->desc->digestSize;
  if (capacity < 0 || static_cast<uint32_t>(capacity) < size) return;
  if (ctx->desc == &NXVT_SHA512_DESC) {
    Pad<decltype(ctx->w64), uint64_t>(ctx, ctx->w64, 128, 16);
  } else {
    Pad<decltype(ctx->w32), uint32_t>(ctx, ctx->w32, 64, 8);
  }
  ctx->desc->output(out, ctx);
  *outLen = static_cast<int32_t>(size);
}

void NXVT_Digest_Final(unsigned char* out, int32_t* outLen, const NXVT_DIGEST_CTX* ctx) {
  if (ctx == nullptr) return;
  // Work on a copy so the caller may go on updating the context.
  NXVT_DIGEST_CTX copy = *ctx;
  ScopedWipe wipeCopy(copy);
  NXVT_Digest_FinalInPlace(out, outLen, &copy);
}

int DoDigest(HashId id, const unsigned char* msg, uint32_t msgLen, unsigned char* out, int32_t* outLen) {
  const uint32_t size = GetDigestLen(id);
  // The sponge and the streaming layer count in signed 32 bits: longer
  // messages are refused here rather than cut or misread.
  if (msg == nullptr || outLen == nullptr || size == 0 || msgLen > static_cast<uint32_t>(INT32_MAX))
    return TrailFail("DoDigest", 164);
  if (out == nullptr) {
    *outLen = static_cast<int32_t>(size);
    return 0;
  }
  if (*outLen < static_cast<int32_t>(size)) return TrailFail("DoDigest", 175);

  if (id >= kHashKeccak224 && id <= kHashKeccak512) {
    const int32_t bits = static_cast<int32_t>(8 * size);
    if (NXVT_Keccak_Hash(2 * bits, out, msg, static_cast<int32_t>(msgLen), bits) != 1)
      return TrailFail("DoDigest", 194);
    *outLen = static_cast<int32_t>(size);
    return 0;
  }

  NXVT_DIGEST_CTX ctx;
  memset(&ctx, 0, sizeof ctx);
  ScopedWipe wipeCtx(ctx);
  if (NXVT_Digest_Init(&ctx, DigestDescForId(id)) != 0) {
    AddErrLocation(nullptr, "InitDigest", 90);
    return TrailFail("DoDigest", 187);
  }
  NXVT_Digest_Update(&ctx, msg, static_cast<int32_t>(msgLen));
  int32_t written = *outLen;
  if (written < static_cast<int32_t>(ctx.desc->digestSize)) {
    AddErrLocation(nullptr, "FinalDigest", 139);
    return TrailFail("DoDigest", 187);
  }
  // The context is this call's own (and wiped on return): no copy.
  NXVT_Digest_FinalInPlace(out, &written, &ctx);
  if (written != static_cast<int32_t>(ctx.desc->digestSize)) {
    AddErrLocation(nullptr, "FinalDigest", 145);
    return TrailFail("DoDigest", 187);
  }
  *outLen = written;
  return 0;
}
