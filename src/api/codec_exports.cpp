// Codec exports: hex, bit regrouping, Base64, Base58Check and Base32.
// Each hands its library function the needed length as the capacity (never
// more than the caller offered) and returns the length that function wrote.
#include <climits>
#include <cstring>

#include "api/frame.h"
#include "crypto/codec/base32.h"
#include "crypto/codec/base58.h"
#include "crypto/codec/base64.h"
#include "crypto/codec/hex_convert.h"
#include "tolvaris/bcm_codec.h"

namespace {

int64_t Base64Need(uint32_t len) { return 4 * static_cast<int64_t>(len) / 3 + 4; }
int64_t Base58CheckNeed(uint32_t len) { return (static_cast<int64_t>(len) + 4) * 138 / 100 + 2; }

// Refuses a needed length that a 32-bit length cannot carry, before anything
// is written. Reported under the export's capacity code.
int CheckRepresentable(ExportFrame& f, int code, int64_t needed) {
  if (needed > INT32_MAX) return f.Fail(code, "needed size[%lld] is above [%d]", static_cast<long long>(needed), INT32_MAX);
  return 0;
}

// The size query, capacity check and library call shared by every export.
// `call(capacity)` runs the library function with `capacity` as its in/out
// length and returns its result.
template <class Call>
int SizedCall(ExportFrame& f, bool query, uint32_t* outLen, int64_t needed, int capCode, int callCode,
              const char* callName, Call&& call) {
  if (int rc = CheckRepresentable(f, capCode, needed)) return rc;
  if (query) {
    *outLen = static_cast<uint32_t>(needed);
    return 0;
  }
  if (int rc = f.CheckCapacity(capCode, static_cast<int32_t>(*outLen), needed)) return rc;
  uint32_t written = static_cast<uint32_t>(needed);
  if (call(&written) != 0) return f.Fail(callCode, "bc-module %s error", callName);
  *outLen = written;
  return 0;
}

}  // namespace

int BCMConvHexStrToByteArr(const char* hex, unsigned char* out, uint32_t* outLen) {
  return RunExport("BCMConvHexStrToByteArr", 84, [&](ExportFrame& f) {
    if (hex == nullptr || outLen == nullptr) return f.NullParam(65);
    const size_t digits = strlen(hex);
    const int64_t needed = static_cast<int64_t>(digits / 2 + digits % 2);
    return SizedCall(f, out == nullptr, outLen, needed, 78, 84, "ConvertHexStr2ByteArr",
                     [&](uint32_t* len) { return ConvertHexStr2ByteArr(hex, out, len); });
  });
}

int BCMConvByteArrToHexStr(const unsigned char* in, uint32_t inLen, int upper, char* out, uint32_t* outLen) {
  return RunExport("BCMConvByteArrToHexStr", 124, [&](ExportFrame& f) {
    if (in == nullptr || outLen == nullptr) return f.NullParam(105);
    const int64_t needed = 2 * static_cast<int64_t>(inLen) + 1;
    return SizedCall(f, out == nullptr, outLen, needed, 118, 124, "ConvertByteArr2HexStr",
                     [&](uint32_t* len) { return ConvertByteArr2HexStr(in, inLen, upper, out, len); });
  });
}

int BCMConvBitToBit(const unsigned char* in, uint32_t inLen, uint32_t fromBits, int toBits, unsigned char* out,
                    uint32_t* outLen) {
  return RunExport("BCMConvBitToBit", 164, [&](ExportFrame& f) {
    if (in == nullptr || outLen == nullptr) return f.NullParam(145);
    // Each value is one byte, and the needed length divides by the target width.
    if (fromBits < 1 || fromBits > 8 || toBits < 1 || toBits > 8)
      return f.Fail(145, "param is invalid [bit width from %u to %d]", fromBits, toBits);
    if (inLen > INT32_MAX) return f.Fail(158, "input count[%u] is above [%d]", inLen, INT32_MAX);
    const int64_t needed = (static_cast<int64_t>(inLen) * fromBits + 1) / toBits + 1;
    return SizedCall(f, out == nullptr, outLen, needed, 158, 164, "ConverByte2Bit", [&](uint32_t* len) {
      return ConverByte2Bit(in, static_cast<int32_t>(inLen), static_cast<int32_t>(fromBits), toBits, out, len);
    });
  });
}

int BCMGenBase64EncodeLen(uint32_t len) {
  const int64_t need = Base64Need(len);
  return need > INT32_MAX ? -1 : static_cast<int>(need);
}

int BCMGenBase64Encode(const unsigned char* in, uint32_t inLen, char* out, uint32_t* outLen) {
  return RunExport("BCMGenBase64Encode", 209, [&](ExportFrame& f) {
    if (in == nullptr || outLen == nullptr) return f.NullParam(190);
    return SizedCall(f, out == nullptr, outLen, Base64Need(inLen), 203, 209, "Base64Encode", [&](uint32_t* len) {
      return Base64Encode(in, static_cast<int32_t>(inLen), out, len);
    });
  });
}

int BCMGenBase64Decode(const char* text, unsigned char* out, uint32_t* outLen) {
  return RunExport("BCMGenBase64Decode", 249, [&](ExportFrame& f) {
    if (text == nullptr || outLen == nullptr) return f.NullParam(230);
    const int64_t needed = static_cast<int64_t>(strlen(text));
    return SizedCall(f, out == nullptr, outLen, needed, 243, 249, "Base64Decode",
                     [&](uint32_t* len) { return Base64Decode(text, out, len); });
  });
}

int BCMGenBase58CheckEncodeLen(uint32_t len) {
  const int64_t need = Base58CheckNeed(len);
  return need > INT32_MAX ? -1 : static_cast<int>(need);
}

int BCMGenBase58CheckEncode(uint32_t alphabet, const unsigned char* payload, uint32_t len, char* out,
                            uint32_t* outLen) {
  return RunExport("BCMGenBase58CheckEncode", 294, [&](ExportFrame& f) {
    if (payload == nullptr || outLen == nullptr) return f.NullParam(275);
    return SizedCall(f, out == nullptr, outLen, Base58CheckNeed(len), 288, 294, "Base58CheckEncode",
                     [&](uint32_t* cap) {
                       return Base58CheckEncode(alphabet, payload, static_cast<int32_t>(len), out, cap);
                     });
  });
}

int BCMGenBase58CheckDecode(uint32_t alphabet, const char* text, unsigned char* out, uint32_t* outLen) {
  return RunExport("BCMGenBase58CheckDecode", 334, [&](ExportFrame& f) {
    if (text == nullptr || outLen == nullptr) return f.NullParam(315);
    const int64_t needed = static_cast<int64_t>(strlen(text));
    return SizedCall(f, out == nullptr, outLen, needed, 328, 334, "Base58CheckDecode",
                     [&](uint32_t* len) { return Base58CheckDecode(alphabet, text, out, len); });
  });
}

int BCMGenBase32Encode(const unsigned char* values, uint32_t count, char* out, uint32_t* outLen) {
  return RunExport("BCMGenBase32Encode", 374, [&](ExportFrame& f) {
    if (values == nullptr || outLen == nullptr) return f.NullParam(355);
    return SizedCall(f, out == nullptr, outLen, Base64Need(count), 368, 374, "Base32Encode", [&](uint32_t* len) {
      return Base32Encode(values, static_cast<int32_t>(count), out, len);
    });
  });
}

int BCMGenBase32Decode(const char* text, unsigned char* out, uint32_t* outLen) {
  return RunExport("BCMGenBase32Decode", 414, [&](ExportFrame& f) {
    if (text == nullptr || outLen == nullptr) return f.NullParam(395);
    const int64_t needed = static_cast<int64_t>(strlen(text));
    return SizedCall(f, out == nullptr, outLen, needed, 408, 414, "Base32Decode",
                     [&](uint32_t* len) { return Base32Decode(text, out, len); });
  });
}
