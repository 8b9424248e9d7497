// Exports for HD keys and public keys on secp256k1, P-256 and Ed25519.
#include <cstdint>

#include "api/frame.h"
#include "crypto/ec/general/eccurve.h"
#include "keys/hd.h"
#include "tolvaris/bcm_hd.h"

namespace {

constexpr const char* kPkcError = "bc-vantrel get pkcparam error";
constexpr const char* kNodeCapacity =
    "buffer size pri[%d is lower than %d] , pub[%d is lower than %d] , chaincode[%d is lower than %d]";
constexpr const char* kParentSizes =
    "parent pri size[%d must %d] , pub size[%d must %d] , chaincode size[%d must %d]";

}  // namespace

int BCMGenMasterNode(uint32_t curve, const unsigned char* seed, uint32_t seedLen, unsigned char* pri, int* priLen,
                     unsigned char* pub, int* pubLen, unsigned char* chain, int* chainLen) {
  return RunExport("BCMGenMasterNode", 1241, [&](ExportFrame& f) {
    if (seed == nullptr || priLen == nullptr || pubLen == nullptr || chainLen == nullptr) return f.NullParam(1204);
    if (HdNodeSizeQuery(pri, priLen, pub, pubLen, chain, chainLen, kHdPubLen)) return 0;
    if (HdNodeCapacityShort(priLen, pubLen, chainLen, kHdPubLen))
      return f.Fail(1218, kNodeCapacity, *priLen, kHdPriLen, *pubLen, kHdPubLen, *chainLen, kHdChainLen);
    ScopedPkc pkc(curve);
    if (pkc.get() == nullptr) return f.Fail(1234, kPkcError);
    int32_t l1 = *priLen, l2 = *pubLen, l3 = *chainLen;
    if (GenerateMasterNodeFromSeed(seed, seedLen, pkc.get(), pri, &l1, pub, &l2, chain, &l3) != 0)
      return f.Fail(1241, "bc-module GenerateMasterNodeFromSeed error");
    *priLen = l1;
    *pubLen = l2;
    *chainLen = l3;
    return 0;
  });
}

int BCMGenCKD(uint32_t curve, const unsigned char* ppri, int ppriLen, const unsigned char* ppub, int ppubLen,
              const unsigned char* pchain, int pchainLen, uint32_t index, unsigned char* cpri, int* cpriLen,
              unsigned char* cpub, int* cpubLen, unsigned char* cchain, int* cchainLen) {
  return RunExport("BCMGenCKD", 1317, [&](ExportFrame& f) {
    if (ppri == nullptr || ppub == nullptr || pchain == nullptr || cpriLen == nullptr || cpubLen == nullptr ||
        cchainLen == nullptr)
      return f.NullParam(1272);
    if (ppriLen != kHdPriLen || ppubLen != kHdPubLen || pchainLen != kHdChainLen)
      return f.Fail(1279, kParentSizes, ppriLen, kHdPriLen, ppubLen, kHdPubLen, pchainLen, kHdChainLen);
    if (HdNodeSizeQuery(cpri, cpriLen, cpub, cpubLen, cchain, cchainLen, kHdPubLen)) return 0;
    if (HdNodeCapacityShort(cpriLen, cpubLen, cchainLen, kHdPubLen))
      return f.Fail(1293, kNodeCapacity, *cpriLen, kHdPriLen, *cpubLen, kHdPubLen, *cchainLen, kHdChainLen);
    ScopedPkc pkc(curve);
    if (pkc.get() == nullptr) return f.Fail(1310, kPkcError);
    int32_t l1 = *cpriLen, l2 = *cpubLen, l3 = *cchainLen;
    if (CKD(ppri, ppriLen, ppub, ppubLen, pchain, pchainLen, index, pkc.get(), cpri, &l1, cpub, &l2, cchain,
            &l3) != 0)
      return f.Fail(1317, "bc-module CKD error");
    *cpriLen = l1;
    *cpubLen = l2;
    *cchainLen = l3;
    return 0;
  });
}

int BCMGenCKDPub(uint32_t curve, const unsigned char* ppub, int ppubLen, const unsigned char* pchain, int pchainLen,
                 uint32_t index, unsigned char* cpub, int* cpubLen, unsigned char* cchain, int* cchainLen) {
  return RunExport("BCMGenCKDPub", 1379, [&](ExportFrame& f) {
    if (ppub == nullptr || pchain == nullptr || cpubLen == nullptr || cchainLen == nullptr)
      return f.NullParam(1346);
    if (ppubLen != kHdPubLen || pchainLen != kHdChainLen)
      return f.Fail(1352, "parent pub size[%d must %d] , chaincode size[%d must %d]", ppubLen, kHdPubLen,
                    pchainLen, kHdChainLen);
    if (cpub == nullptr || cchain == nullptr) {
      *cpubLen = kHdPubLen;
      *cchainLen = kHdChainLen;
      return 0;
    }
    if (*cpubLen < kHdPubLen || *cchainLen < kHdChainLen)
      return f.Fail(1366, "buffer size pub[%d is lower than %d] , chaincode[%d is lower than %d]", *cpubLen,
                    kHdPubLen, *cchainLen, kHdChainLen);
    ScopedPkc pkc(curve);
    if (pkc.get() == nullptr) return f.Fail(1372, kPkcError);
    int32_t l1 = *cpubLen, l2 = *cchainLen;
    if (CKDPub(ppub, ppubLen, pchain, pchainLen, index, pkc.get(), cpub, &l1, cchain, &l2) != 0)
      return f.Fail(1379, "bc-module CKDPub error");
    *cpubLen = l1;
    *cchainLen = l2;
    return 0;
  });
}

int BCMGenPathLeafNode(uint32_t curve, const unsigned char* seed, uint32_t seedLen, uint32_t purpose, uint32_t coin,
                       uint32_t account, uint32_t change, uint32_t index, unsigned char* pri, int* priLen,
                       unsigned char* pub, int* pubLen, unsigned char* chain, int* chainLen) {
  return RunExport("BCMGenPathLeafNode", 1453, [&](ExportFrame& f) {
    if (seed == nullptr || priLen == nullptr || pubLen == nullptr || chainLen == nullptr) return f.NullParam(1408);
    if (seedLen != static_cast<uint32_t>(kHdSeedLen))
      return f.Fail(1414, "MasterSeed Len[%d must %d]", static_cast<int>(seedLen), kHdSeedLen);
    if (HdNodeSizeQuery(pri, priLen, pub, pubLen, chain, chainLen, kHdPubLen)) return 0;
    if (HdNodeCapacityShort(priLen, pubLen, chainLen, kHdPubLen))
      return f.Fail(1428, kNodeCapacity, *priLen, kHdPriLen, *pubLen, kHdPubLen, *chainLen, kHdChainLen);
    ScopedPkc pkc(curve);
    if (pkc.get() == nullptr) return f.Fail(1445, kPkcError);
    int32_t l1 = *priLen, l2 = *pubLen, l3 = *chainLen;
    if (GeneratePathLeafNodeFromSeed(seed, seedLen, purpose, coin, account, change, index, pkc.get(), pri, &l1, pub,
                                     &l2, chain, &l3) != 0)
      return f.Fail(1453, "bc-module GeneratePathLeafNodeFromSeed error");
    *priLen = l1;
    *pubLen = l2;
    *chainLen = l3;
    return 0;
  });
}

int BCMGetPubYFromCompPub(uint32_t curve, const unsigned char* pub, int pubLen, unsigned char* y, int* yLen) {
  return RunExport("BCMGetPubYFromCompPub", 274, [&](ExportFrame& f) {
    if (pub == nullptr || y == nullptr) return f.NullParam(1477);
    if (pubLen != kHdPubLen) return f.Fail(1483, "Pub Len[%d must %d]", pubLen, kHdPubLen);
    ScopedPkc pkc(curve);
    if (pkc.get() == nullptr) return f.Fail(1489, kPkcError);
    // The library's code is the export's; the trail carries locations only.
    if (int rc = GetPubYFromCompPub(pub, pubLen, pkc.get(), y, yLen)) {
      AddErrLocation(nullptr, f.name(), rc);
      return rc;
    }
    return 0;
  });
}

int BCMGenPubkeyFromPriKey(uint32_t curve, const unsigned char* pri, int priLen, unsigned char* pub, int* pubLen) {
  return RunExport("BCMGenPubkeyFromPriKey", 1555, [&](ExportFrame& f) {
    if (pri == nullptr || pubLen == nullptr) return f.NullParam(1515);
    if (priLen != kHdPriLen) return f.Fail(1521, "Pri Len[%d must %d]", priLen, kHdPriLen);
    if (pub == nullptr) {
      *pubLen = kHdPubLen;
      return 0;
    }
    if (*pubLen < kHdPubLen) return f.Fail(1534, "buffer size pub[%d is lower than %d]", *pubLen, kHdPubLen);
    ScopedPkc pkc(curve);
    if (pkc.get() == nullptr) return f.Fail(1549, kPkcError);
    int32_t len = *pubLen;
    if (DerivePub(pri, priLen, pkc.get(), pub, &len) != 0) return f.Fail(1555, "bc-module DerivePub error");
    *pubLen = len;
    return 0;
  });
}

int BCMGenMasterNode_ED(const unsigned char* seed, uint32_t seedLen, unsigned char* pri, int* priLen,
                        unsigned char* pub, int* pubLen, unsigned char* chain, int* chainLen) {
  return RunExport("BCMGenMasterNode_ED", 1733, [&](ExportFrame& f) {
    if (seed == nullptr || priLen == nullptr || pubLen == nullptr || chainLen == nullptr) return f.NullParam(1702);
    if (HdNodeSizeQuery(pri, priLen, pub, pubLen, chain, chainLen, kHdEdPubLen)) return 0;
    if (HdNodeCapacityShort(priLen, pubLen, chainLen, kHdEdPubLen))
      return f.Fail(1716, "buffer size Pri[%d is lower than %d] Pub[%d is lower than %d] Chain[%d is lower than %d]",
                    *priLen, kHdPriLen, *pubLen, kHdEdPubLen, *chainLen, kHdChainLen);
    int32_t l1 = *priLen, l2 = *pubLen, l3 = *chainLen;
    if (GenerateMasterNodeFromSeed_ED(seed, seedLen, pri, &l1, pub, &l2, chain, &l3) != 0)
      return f.Fail(1733, "bc-module GenerateMasterNodeFromSeed_ED error");
    *priLen = l1;
    *pubLen = l2;
    *chainLen = l3;
    return 0;
  });
}

int BCMGenCKD_ED(const unsigned char* ppri, int ppriLen, const unsigned char* ppub, int ppubLen,
                 const unsigned char* pchain, int pchainLen, uint32_t index, unsigned char* cpri, int* cpriLen,
                 unsigned char* cpub, int* cpubLen, unsigned char* cchain, int* cchainLen) {
  return RunExport("BCMGenCKD_ED", 1800, [&](ExportFrame& f) {
    if (ppri == nullptr || ppub == nullptr || pchain == nullptr || cpriLen == nullptr || cpubLen == nullptr ||
        cchainLen == nullptr)
      return f.NullParam(1761);
    if (ppriLen != kHdPriLen || ppubLen != kHdEdPubLen || pchainLen != kHdChainLen)
      return f.Fail(1768, kParentSizes, ppriLen, kHdPriLen, ppubLen, kHdEdPubLen, pchainLen, kHdChainLen);
    if (HdNodeSizeQuery(cpri, cpriLen, cpub, cpubLen, cchain, cchainLen, kHdEdPubLen)) return 0;
    if (HdNodeCapacityShort(cpriLen, cpubLen, cchainLen, kHdEdPubLen))
      return f.Fail(1782, kNodeCapacity, *cpriLen, kHdPriLen, *cpubLen, kHdEdPubLen, *cchainLen, kHdChainLen);
    int32_t l1 = *cpriLen, l2 = *cpubLen, l3 = *cchainLen;
    if (CKD_ED(ppri, ppriLen, ppub, ppubLen, pchain, pchainLen, index, cpri, &l1, cpub, &l2, cchain, &l3) != 0)
      return f.Fail(1800, "bc-module CKD_ED error");
    *cpriLen = l1;
    *cpubLen = l2;
    *cchainLen = l3;
    return 0;
  });
}

int BCMGenPubkeyFromPriKey_ED(const unsigned char* pri, int priLen, unsigned char* pub, int* pubLen) {
  return RunExport("BCMGenPubkeyFromPriKey_ED", 1914, [&](ExportFrame& f) {
    if (pri == nullptr || pubLen == nullptr) return f.NullParam(1879);
    if (priLen != kHdPriLen) return f.Fail(1885, "Pri Len[%d must %d]", priLen, kHdPriLen);
    if (pub == nullptr) {
      *pubLen = kHdEdPubLen;
      return 0;
    }
    if (*pubLen < kHdEdPubLen) return f.Fail(1898, "buffer size pub[%d is lower than %d]", *pubLen, kHdEdPubLen);
    int32_t len = *pubLen;
    if (DerivePub_ED(pri, priLen, pub, &len) != 0) return f.Fail(1914, "bc-module DerivePub_ED error");
    *pubLen = len;
    return 0;
  });
}
