#include "common/hashing.h"

#include "common/error_chain.h"
#include "tolvaris/bcm_core.h"

int GenerateLoopHash(const Bytes& data, std::initializer_list<uint32_t> ids, Bytes& out) {
  Bytes current = data;
  for (uint32_t id : ids) {
    unsigned char digest[64];
    int len = sizeof digest;
    // The empty message is hashed too: it needs a pointer that is not null.
    static const unsigned char kNothing = 0;
    const unsigned char* msg = current.empty() ? &kNothing : current.data();
    if (BCMGenHashMessage(id, msg, static_cast<uint32_t>(current.size()), digest, &len) != 0) {
      AddErrTrail("GenerateLoopHash", 384, 1000, "ToDo Add Detail Error Message!!");
      WipeVector(current);
      return 1;
    }
    WipeVector(current);
    current.assign(digest, digest + len);
    Wipe(digest, sizeof digest);
  }
  out.swap(current);
  WipeVector(current);
  return 0;
}

int GenerateHash(const Bytes& data, unsigned char flag, Bytes& out) {
  const int rc = flag == 1 ? GenerateLoopHash(data, {kHashSha256, kHashRipemd160}, out)
                           : GenerateLoopHash(data, {kHashSha256}, out);
  if (rc != 0) {
    AddErrTrail("GenerateHash", 405, 1000, "GenerateLoopHash Error !!");
    return 1;
  }
  return 0;
}
