#include "eth/rlp.h"

#include <cstring>

#include "common/error_chain.h"
#include "tolvaris/bcm_core.h"

namespace {

constexpr int kShortLimit = 55;

// Bytes needed to hold `count` (1 up to 255, 2 up to 65535, ...).
int LengthBytes(uint32_t count) {
  int n = 1;
  while (n < 4 && (count >> (8 * n)) != 0) ++n;
  return n;
}

int Fail(int line) {
  AddErrTrail("MakeRLPEncode", static_cast<uint32_t>(line), static_cast<uint32_t>(line), "MakeRLPEncode Error !!");
  return line;
}

// Big-endian form of `value` in `size` bytes, made through the core like
// every other byte-order step of the add-on.
void ToBigEndian(uint64_t value, unsigned char* field, int size) {
  std::memcpy(field, &value, static_cast<size_t>(size));
  if (BCMGetCurrentSystemEndian() == 1) BCMSwapBytes(field, size);
}

}  // namespace

int MakeRLPEncode(const unsigned char* data, int count, int isList, unsigned char* out, int* outLen) {
  if (outLen == nullptr || count < 0 || (data == nullptr && count > 0)) return Fail(52);
  const bool list = isList != 0;
  int prefixSize = 1;
  int lengthSize = 0;
  unsigned char prefix = list ? 0xC0 : 0x80;
  if (count <= kShortLimit) {
    if (!list && count == 1 && data[0] < 0x80) {
      prefixSize = 0;
    } else {
      prefix = static_cast<unsigned char>(prefix + count);
    }
  } else {
    lengthSize = LengthBytes(static_cast<uint32_t>(count));
    prefix = static_cast<unsigned char>((list ? 0xF7 : 0xB7) + lengthSize);
  }
  const int needed = prefixSize + lengthSize + count;
  if (out == nullptr) {
    *outLen = needed;
    return 0;
  }
  if (*outLen < needed) return Fail(113);
  *outLen = needed;
  unsigned char field[4];
  ToBigEndian(static_cast<uint32_t>(count), field, 4);
  unsigned char* p = out;
  if (prefixSize != 0) *p++ = prefix;
  std::memcpy(p, field + 4 - lengthSize, static_cast<size_t>(lengthSize));
  p += lengthSize;
  if (count > 0) std::memcpy(p, data, static_cast<size_t>(count));
  return 0;
}

int SetTxUulDatas(uint64_t value, Bytes& out) {
  unsigned char field[8];
  ToBigEndian(value, field, 8);
  int skip = 0;
  while (skip < 8 && field[skip] == 0) ++skip;
  unsigned char scratch[128] = {};
  int len = sizeof scratch;
  if (MakeRLPEncode(field + skip, 8 - skip, 0, scratch, &len) != 0) return 1;
  out.insert(out.end(), scratch, scratch + len);
  return 0;
}

int AppendRLPBytes(const Bytes& bytes, int isList, Bytes& out) {
  // Items of 2^31 bytes or more have no length here.
  if (bytes.size() > static_cast<size_t>(INT32_MAX) - 5) {
    Fail(52);
    return 1;
  }
  const int count = static_cast<int>(bytes.size());
  // Room for any encoding: a prefix byte and up to four length bytes.
  Bytes scratch(bytes.size() + 5);
  int len = static_cast<int>(scratch.size());
  if (MakeRLPEncode(bytes.data(), count, isList, scratch.data(), &len) != 0) return 1;
  out.insert(out.end(), scratch.begin(), scratch.begin() + len);
  return 0;
}

int AppendRLPUInt(const Bytes& bytes, Bytes& out) {
  size_t skip = 0;
  while (skip < bytes.size() && bytes[skip] == 0) ++skip;
  return AppendRLPBytes(Bytes(bytes.begin() + static_cast<long>(skip), bytes.end()), 0, out);
}
