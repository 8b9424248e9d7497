#include "crypto/bignum.h"

#include <cstring>

#include "crypto/memory.h"

// Work in progress: full implementation follows.
void NXVT_BN_FromBytes(NXVT_BN*, const uint8_t*, int32_t) {}
void NXVT_BN_ToBytes(uint8_t*, uint32_t* len, const NXVT_BN*) { if (len) *len = 0; }
int32_t NXVT_BN_FromHex(NXVT_BN*, const char*) { return -1; }
uint32_t NXVT_BN_BitLen(const NXVT_BN*) { return 0; }
int32_t NXVT_BN_Cmp(const NXVT_BN*, const NXVT_BN*) { return -1; }
int32_t NXVT_BN_Add(NXVT_BN*, const NXVT_BN*, const NXVT_BN*) { return -1; }
int32_t NXVT_BN_AddWord(NXVT_BN*, const NXVT_BN*, uint32_t) { return -1; }
int32_t NXVT_BN_Sub(NXVT_BN*, const NXVT_BN*, const NXVT_BN*) { return -1; }
int32_t NXVT_BN_SubWord(NXVT_BN*, const NXVT_BN*, uint32_t) { return -1; }
int32_t NXVT_BN_Mul(NXVT_BN*, const NXVT_BN*, const NXVT_BN*) { return -1; }
int32_t NXVT_BN_Sqr(NXVT_BN*, const NXVT_BN*) { return -1; }
int32_t NXVT_BN_Mod(NXVT_BN*, const NXVT_BN*) { return -1; }
int32_t NXVT_BN_DivMod(uint32_t*, uint32_t*, uint32_t, const uint32_t*) { return -1; }
int32_t NXVT_BN_ModInv(NXVT_BN*, const NXVT_BN*, const NXVT_BN*) { return -1; }
void NXVT_BN_MulWords(uint32_t*, uint32_t*, uint32_t, const uint32_t*, uint32_t, const uint32_t*) {}
void NXVT_BN_SqrWords(uint32_t*, uint32_t*, uint32_t, const uint32_t*) {}
void NXVT_BN_AddWords(uint32_t*, uint32_t*, uint32_t, const uint32_t*, uint32_t, const uint32_t*) {}
int32_t NXVT_BN_SubWords(uint32_t*, uint32_t*, uint32_t, const uint32_t*, uint32_t, const uint32_t*) { return 0; }
int32_t NXVT_BN_ModInvCore(uint32_t*, uint32_t*, uint32_t*, uint32_t*, uint32_t, const uint32_t*, uint32_t,
                           const uint32_t*) { return -1; }
int32_t NXVT_BN_Shl1Self(NXVT_BN*) { return -1; }
int32_t NXVT_BN_Shl1(NXVT_BN*, const NXVT_BN*) { return -1; }
int32_t NXVT_BN_ShrBits(NXVT_BN*, uint32_t) { return -1; }
int32_t NXVT_BN_Shr1(NXVT_BN*, const NXVT_BN*) { return -1; }
int32_t NXVT_BN_CopyPadded(NXVT_BN*, const NXVT_BN*, const NXVT_BN*) { return -1; }
void NXVT_BN_Wipe(NXVT_BN* a) { Wipe(a, sizeof(NXVT_BN)); }
void NXVT_BN_Normalize(NXVT_BN*) {}
