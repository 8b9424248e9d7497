// Placeholder until the generator lands: every request fails.
#include "crypto/random.h"

static NXVT_DRBG_STATE g_state;
int NXVT_RNG_GetBytes(unsigned char*, uint32_t) { return -1; }
int NXVT_DRBG_Generate(unsigned char*, const unsigned char*, uint32_t) { return -1; }
int NXVT_DRBG_EnsureInstantiated() { return -1; }
int NXVT_DRBG_Instantiate(const unsigned char*, uint32_t) { return -1; }
int NXVT_DRBG_Reseed(const unsigned char*, uint32_t) { return -1; }
int NXVT_DRBG_ReseedFresh() { return -1; }
int NXVT_DRBG_HashGen(unsigned char*, uint32_t) { return -1; }
int NXVT_DRBG_HashDf(unsigned char*, const unsigned char*, uint32_t, uint32_t, const NXVT_DIGEST_DESC*) { return -1; }
int NXVT_RNG_SeedFromPool(unsigned char*, uint32_t*) { return -1; }
void NXVT_RNG_CondensePool(unsigned char*, int32_t, unsigned char*) {}
int NXVT_DRBG_InstantiateState(NXVT_DRBG_STATE*, const unsigned char*, uint32_t, const NXVT_DIGEST_DESC*) { return -1; }
int NXVT_DRBG_ReseedState(NXVT_DRBG_STATE*, const unsigned char*, uint32_t) { return -1; }
int NXVT_DRBG_GenerateState(NXVT_DRBG_STATE*, unsigned char*, uint32_t) { return -1; }
int NXVT_DRBG_HashGenState(const NXVT_DRBG_STATE*, unsigned char*, uint32_t) { return -1; }
NXVT_DRBG_STATE* NXVT_DRBG_ProcessState() { return &g_state; }
uint32_t NXVT_DRBG_IsInstantiated() { return 0; }
