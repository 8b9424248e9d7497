// Mnemonic and share-mnemonic exports: BIP39 generation, validation, entropy
// and seed, and the Shamir split and recovery.
#include <climits>
#include <cstring>

#include "api/frame.h"
#include "platform/memory.h"
#include "keys/bip39.h"
#include "keys/shamir.h"
#include "tolvaris/bcm_mnemonic.h"

namespace {

constexpr int kMaxShareTotal = 10;

}  // namespace

int BCMGenMnemonic(const unsigned char* entropy, int entropyLen, char* out, int* outLen) {
  return RunExport("BCMGenMnemonic", 949, [&](ExportFrame& f) {
    if (entropy == nullptr || outLen == nullptr) return f.NullParam(924);
    if (!IsMnemonicEntropyLen(entropyLen))
      return f.Fail(931, "entropy size is not support [%d] make mnemonic", entropyLen);
    const int needed = entropyLen * 3 / 4 * 11;
    if (out == nullptr) {
      *outLen = needed;
      return 0;
    }
    if (int rc = f.CheckCapacity(943, *outLen, needed)) return rc;
    int32_t written = *outLen;
    if (GenerateMnemonic(entropy, entropyLen, out, &written) != 0)
      return f.Fail(949, "bc-module GenerateMnemonic error");
    *outLen = written;
    return 0;
  });
}

int BCMConvMnemonicToEntropy(const char* mnemonic, unsigned char* out, int* outLen) {
  return RunExport("BCMConvMnemonicToEntropy", 989, [&](ExportFrame& f) {
    if (mnemonic == nullptr || outLen == nullptr) return f.NullParam(970);
    const size_t textLen = strlen(mnemonic);
    if (textLen > static_cast<size_t>(INT32_MAX))
      return f.Fail(983, "buffer size[%d] is lower than [%d]", *outLen, INT32_MAX);
    const int needed = static_cast<int>(textLen);
    if (out == nullptr) {
      *outLen = needed;
      return 0;
    }
    if (int rc = f.CheckCapacity(983, *outLen, needed)) return rc;
    // Decoded into a work buffer first: the caller's room is checked against
    // the entropy actually produced, not assumed.
    unsigned char entropy[kBip39MaxEntropyLen];
    ScopedWipe wipeEntropy(entropy, sizeof entropy);
    int32_t entLen = 0;
    if (GetMnemonicInfo(mnemonic, entropy, &entLen) != 0) return f.Fail(989, "bc-module GetMnemonicInfo error");
    if (int rc = f.CheckCapacity(983, *outLen, entLen)) return rc;
    memcpy(out, entropy, static_cast<size_t>(entLen));
    *outLen = entLen;
    return 0;
  });
}

int BCMConvMnemonicToSeed(const char* mnemonic, const char* passphrase, unsigned char* out, int* outLen) {
  return RunExport("BCMConvMnemonicToSeed", 1029, [&](ExportFrame& f) {
    if (mnemonic == nullptr || outLen == nullptr) return f.NullParam(1010);
    if (out == nullptr) {
      *outLen = kBip39SeedLen;
      return 0;
    }
    if (int rc = f.CheckCapacity(1023, *outLen, kBip39SeedLen)) return rc;
    int32_t written = kBip39SeedLen;
    if (ConvertMnemonic2Seed(mnemonic, passphrase, out, &written) != 0)
      return f.Fail(1029, "bc-module ConvertMnemonic2Seed error");
    *outLen = written;
    return 0;
  });
}

int BCMChkMnemonicValid(const char* mnemonic) {
  return RunExport("BCMChkMnemonicValid", 1055, [&](ExportFrame& f) {
    if (mnemonic == nullptr) return f.NullParam(1049);
    if (CheckMnemonicValidate(mnemonic) != 0) return f.Fail(1055, "bc-module CheckMnemonicValidate error");
    return 0;
  });
}

int BCMChkMnemonicWordValid(const char* word) {
  return RunExport("BCMChkMnemonicWordValid", 1080, [&](ExportFrame& f) {
    if (word == nullptr) return f.NullParam(1074);
    if (CheckMnemonicWordValidate(word) != 0) return f.Fail(1080, "bc-module CheckMnemonicWordValidate error");
    return 0;
  });
}

int BCMConvMasterMnemonicToSSSMnemonic(const char* mnemonic, int total, int need, char* out, int* outLen) {
  return RunExport("BCMConvMasterMnemonicToSSSMnemonic", 1139, [&](ExportFrame& f) {
    if (mnemonic == nullptr || outLen == nullptr) return f.NullParam(1102);
    if (total > kMaxShareTotal || total < need)
      return f.Fail(1109, "SSS Total Cnt[%d must bigger than Need Cnt[%d must bigger than 2] and smaller than [%d]]",
                    total, need, kMaxShareTotal);
    // The master mnemonic is a secret: it is not copied into the trail.
    if (CheckMnemonicValidate(mnemonic) != 0) return f.Fail(1115, "Mnemonic is invald [%s]", "<hidden>");
    int32_t needed = 0;
    if (Create_SSS(mnemonic, total, need, nullptr, &needed) != 0) return f.Fail(1121, "bc-module Create_SSS error");
    if (out == nullptr) {
      *outLen = needed;
      return 0;
    }
    if (int rc = f.CheckCapacity(1133, *outLen, needed)) return rc;
    int32_t written = *outLen;
    if (Create_SSS(mnemonic, total, need, out, &written) != 0) return f.Fail(1139, "bc-module Create_SSS error");
    *outLen = written;
    return 0;
  });
}

int BCMConvSSSMnemonicToMasterMnemonic(const char* shares, char* out, int* outLen) {
  return RunExport("BCMConvSSSMnemonicToMasterMnemonic", 1179, [&](ExportFrame& f) {
    if (shares == nullptr || outLen == nullptr) return f.NullParam(1160);
    if (out == nullptr) {
      *outLen = kSSSMasterCap;
      return 0;
    }
    if (int rc = f.CheckCapacity(1173, *outLen, kSSSMasterCap)) return rc;
    int32_t written = *outLen;
    if (GetSSS_Secret(shares, out, &written) != 0) return f.Fail(1179, "bc-module GetSSS_Secret error");
    *outLen = written;
    return 0;
  });
}
