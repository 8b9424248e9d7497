// Digest, HMAC and key-derivation actions.
#include "command/action_output.h"
#include "command/actions.h"
#include "command/arg_names.h"
#include "command/text/text.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_kdf.h"

namespace {

// The largest digest (SHA-512, Keccak-512): the buffer of every digest and MAC.
constexpr uint64_t kMaxDigestBytes = 64;
// The most a key derivation hands back through the JSON interface. The
// exports would take up to 2^31-1 bytes, but such a reply (hex, then copied
// into the envelope) would cost many times that in memory; longer requests
// get no buffer and are refused by the export's capacity check.
constexpr uint64_t kMaxDerivedBytes = 1 << 20;

uint32_t HashIdOf(const SecureText& name) { return static_cast<uint32_t>(GetHashAlgoId(name)); }

const unsigned char* Bytes(const SecureText& text) { return reinterpret_cast<const unsigned char*>(text.c_str()); }

}  // namespace

// "GenHashMessage": echoes "hashalgo" and "data", answers "md".
int32_t ActionGenHashMessage(InterfaceState&, const json_value& args, SecureText& out) {
  const uint32_t id = HashIdOf(EchoArg(args, "hashalgo", out));
  SecureBytes data;
  EchoBytes(args, "data", out, data);
  ActionOutput md(kMaxDigestBytes, kMaxDigestBytes);
  int len = md.capacity();
  const int rc = BCMGenHashMessage(id, DataOrEmpty(data), static_cast<uint32_t>(data.size()), md.data(), &len);
  return HexResult(out, rc, "DoDigest", 315, "md", md.bytes(), md.Written(len));
}

// "GenHMac": echoes "hashalgo", "key" and "data", answers "hmac". An empty
// key is a key of length 0.
int32_t ActionGenHMac(InterfaceState&, const json_value& args, SecureText& out) {
  const uint32_t id = HashIdOf(EchoArg(args, "hashalgo", out));
  SecureBytes key, data;
  EchoBytes(args, "key", out, key);
  EchoBytes(args, "data", out, data);
  ActionOutput mac(kMaxDigestBytes, kMaxDigestBytes);
  int len = mac.capacity();
  const int rc = BCMGenHMac(id, DataOrEmpty(key), static_cast<uint32_t>(key.size()), DataOrEmpty(data),
                            static_cast<uint32_t>(data.size()), mac.data(), &len);
  return HexResult(out, rc, "DoHMac", 339, "hmac", mac.bytes(), mac.Written(len));
}

// "GenPBKDF2": echoes "hashalgo", "password", "salt", "iterator" and
// "outlen", answers "pbkdf2". Password and salt are taken as their own
// characters (no hex decoding).
int32_t ActionGenPBKDF2(InterfaceState&, const json_value& args, SecureText& out) {
  const uint32_t id = HashIdOf(EchoArg(args, "hashalgo", out));
  const SecureText password = EchoArg(args, "password", out);
  const SecureText salt = EchoArg(args, "salt", out);
  const int32_t c = EchoInt(args, "iterator", out);
  const int32_t n = EchoInt(args, "outlen", out);
  ActionOutput buf(static_cast<uint64_t>(n), kMaxDerivedBytes);
  int len = buf.capacity();
  const int rc = BCMGenPBKDF2(id, password.c_str(), Bytes(salt), static_cast<uint32_t>(salt.size()),
                              static_cast<uint32_t>(c), static_cast<uint32_t>(n), buf.data(), &len);
  return HexResult(out, rc, "DoPBKDF2", 364, "pbkdf2", buf.bytes(), buf.Written(len));
}

// "GenScrypt": echoes "password", "salt", "N", "r", "p" and "outlen",
// answers "scrypt". Password and salt are taken as their own characters.
int32_t ActionGenScrypt(InterfaceState&, const json_value& args, SecureText& out) {
  const SecureText password = EchoArg(args, "password", out);
  const SecureText salt = EchoArg(args, "salt", out);
  const int32_t N = EchoInt(args, "N", out);
  const int32_t r = EchoInt(args, "r", out);
  const int32_t p = EchoInt(args, "p", out);
  const int32_t n = EchoInt(args, "outlen", out);
  ActionOutput buf(static_cast<uint64_t>(n), kMaxDerivedBytes);
  int len = buf.capacity();
  // A salt of 2^31 characters or more turns negative here, which the export
  // refuses.
  const int rc = BCMGenScrypt(password.c_str(), Bytes(salt), static_cast<int>(salt.size()), N, r, p,
                              static_cast<uint32_t>(n), buf.data(), &len);
  return HexResult(out, rc, "DoScrypt", 388, "scrypt", buf.bytes(), buf.Written(len));
}
