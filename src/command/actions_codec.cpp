// Entropy and codec actions: GenEntropy, GenBase64, GenBase58.
#include <cstring>
#include <new>
#include <string_view>

#include "command/action_output.h"
#include "command/actions.h"
#include "command/text/text.h"
#include "tolvaris/bcm_codec.h"
#include "tolvaris/bcm_kdf.h"

namespace {

// BCMGenEntropy delivers at most this many bytes per call.
constexpr uint64_t kMaxEntropyBytes = 2048;
// The codec exports describe lengths in 32 signed bits.
constexpr uint64_t kMaxCodecBytes = INT32_MAX;

// The end of an encoder call: the text it wrote (its stored length, cut at
// a NUL inside it) as `key`, or the "err_msg" pair and the action's code.
int32_t TextResult(SecureText& out, int rc, const char* label, int32_t code, ActionOutput& buf, uint32_t written) {
  if (rc != 0) {
    AddCoreErrMsg(out, label);
    return code;
  }
  const size_t len = buf.Written(written);
  AddPair(out, "encode", std::string_view(buf.text(), strnlen(buf.text(), len)));
  return 0;
}

}  // namespace

// "GenEntropy": echoes "entlen", answers "entropy".
int32_t ActionGenEntropy(InterfaceState&, const json_value& args, SecureText& out) {
  const uint32_t n = static_cast<uint32_t>(EchoInt(args, "entlen", out));
  // Zero bytes of entropy would be an empty answer reported as success.
  if (n == 0) throw ArgumentRefused("entlen must be at least 1");
  // Above the export's limit no buffer is made: the export refuses the count
  // before it touches the one-byte stand-in. The export takes no capacity,
  // so a count it accepts must have its whole buffer.
  ActionOutput buf(n, kMaxEntropyBytes);
  if (n <= kMaxEntropyBytes && static_cast<uint32_t>(buf.capacity()) < n) throw std::bad_alloc();
  const int rc = BCMGenEntropy(n, buf.data());
  return HexResult(out, rc, "GenEntropy", 215, "entropy", buf.bytes(), buf.Written(n));
}

// "GenBase64": echoes "isenc" and "data"; encodes the bytes of "data" into
// "encode", or decodes the Base64 text of "data" into "decode".
int32_t ActionGenBase64(InterfaceState&, const json_value& args, SecureText& out) {
  const bool encode = StrToBool(EchoArg(args, "isenc", out));
  const SecureText data = EchoArg(args, "data", out);
  if (encode) {
    SecureBytes bytes;
    ToBytes("data", data, bytes);
    ActionOutput buf(4 * static_cast<uint64_t>(bytes.size()) / 3 + 4, kMaxCodecBytes);
    uint32_t len = static_cast<uint32_t>(buf.capacity());
    const int rc = BCMGenBase64Encode(DataOrEmpty(bytes), static_cast<uint32_t>(bytes.size()), buf.text(), &len);
    return TextResult(out, rc, "GenBase64Encode", 239, buf, len);
  }
  ActionOutput buf(static_cast<uint64_t>(data.size()) + 1, kMaxCodecBytes);
  uint32_t len = static_cast<uint32_t>(buf.capacity());
  const int rc = BCMGenBase64Decode(data.c_str(), buf.data(), &len);
  return HexResult(out, rc, "GenBase64Decode", 250, "decode", buf.bytes(), buf.Written(len));
}

// "GenBase58": echoes "isenc", "data" and "isxrp"; Base58Check with the
// Bitcoin alphabet, or the XRP one when "isxrp" is true. Encoding answers
// "encode"; decoding answers the payload without its checksum as "decode".
int32_t ActionGenBase58(InterfaceState&, const json_value& args, SecureText& out) {
  const bool encode = StrToBool(EchoArg(args, "isenc", out));
  const SecureText data = EchoArg(args, "data", out);
  const uint32_t alphabet = StrToBool(EchoArg(args, "isxrp", out)) ? 1 : 0;
  if (encode) {
    SecureBytes bytes;
    ToBytes("data", data, bytes);
    // The same bound the encoder checks; -1 means it exceeds any 32-bit length.
    const int need = BCMGenBase58CheckEncodeLen(static_cast<uint32_t>(bytes.size()));
    ActionOutput buf(need < 0 ? UINT64_MAX : static_cast<uint64_t>(need), kMaxCodecBytes);
    uint32_t len = static_cast<uint32_t>(buf.capacity());
    const int rc = BCMGenBase58CheckEncode(alphabet, DataOrEmpty(bytes), static_cast<uint32_t>(bytes.size()),
                                           buf.text(), &len);
    return TextResult(out, rc, "GenBase58CheckEncode", 279, buf, len);
  }
  // The decoded bytes never outnumber the characters; a text that decodes
  // to fewer bytes than the 4-byte checksum is refused by the export.
  ActionOutput buf(static_cast<uint64_t>(data.size()) + 1, kMaxCodecBytes);
  uint32_t len = static_cast<uint32_t>(buf.capacity());
  const int rc = BCMGenBase58CheckDecode(alphabet, data.c_str(), buf.data(), &len);
  return HexResult(out, rc, "GenBase58CheckDecode", 291, "decode", buf.bytes(), buf.Written(len));
}
