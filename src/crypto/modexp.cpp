#include "crypto/modexp.h"

// Work in progress: full implementation follows.
int32_t NXVT_BN_ModExp(NXVT_BN*, const NXVT_BN*, const NXVT_BN*, const NXVT_BN*) { return -1; }
int32_t NXVT_BN_ModSqrt(NXVT_BN*, const NXVT_BN*, const NXVT_BN*) { return -1; }
void NXVT_BN_LucasSeq(NXVT_BN*, NXVT_BN*, const NXVT_BN*, const NXVT_BN*, const NXVT_BN*, const NXVT_BN*) {}
