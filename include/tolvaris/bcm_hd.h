#ifndef TOLVARIS_BCM_HD_H
#define TOLVARIS_BCM_HD_H

#include <stdint.h>

#include "tolvaris/export.h"

/* HD keys and public keys. curve: 1 selects NIST P-256, any other value
 * secp256k1; the _ED functions work on Ed25519.
 *
 * A node is three outputs, each a buffer and a pointer to its length
 * (capacity on entry, written length on return): private key 32 bytes,
 * public key 33 bytes compressed (32 for Ed25519), chain code 32 bytes. When
 * any of the three buffers is null the call is a size query: all three
 * lengths are set and 0 is returned. Outputs are written only on success. */

/* Master node of a seed (any length). Codes 1204, 1218, 1234, 1241. */
TOLVARIS_API int BCMGenMasterNode(uint32_t curve, const unsigned char* seed, uint32_t seedLen, unsigned char* pri,
                                  int* priLen, unsigned char* pub, int* pubLen, unsigned char* chain,
                                  int* chainLen);
/* Private child of a parent node (pri 32, pub 33, chain 32); the parent
 * public key must belong to the private key. Indexes from 0x80000000 are
 * hardened. Codes 1272, 1279, 1293, 1310, 1317. */
TOLVARIS_API int BCMGenCKD(uint32_t curve, const unsigned char* ppri, int ppriLen, const unsigned char* ppub,
                           int ppubLen, const unsigned char* pchain, int pchainLen, uint32_t index,
                           unsigned char* cpri, int* cpriLen, unsigned char* cpub, int* cpubLen,
                           unsigned char* cchain, int* cchainLen);
/* Public child of a 02/03 parent key; normal indexes only. A null output asks
 * for 33 and 32. Codes 1346, 1352, 1366, 1372, 1379. */
TOLVARIS_API int BCMGenCKDPub(uint32_t curve, const unsigned char* ppub, int ppubLen, const unsigned char* pchain,
                              int pchainLen, uint32_t index, unsigned char* cpub, int* cpubLen,
                              unsigned char* cchain, int* cchainLen);
/* Leaf m/purpose'/coin'/account'/change/index of a 64-byte seed (the first
 * three levels are hardened here). Codes 1408, 1414, 1428, 1445, 1453. */
TOLVARIS_API int BCMGenPathLeafNode(uint32_t curve, const unsigned char* seed, uint32_t seedLen, uint32_t purpose,
                                    uint32_t coin, uint32_t account, uint32_t change, uint32_t index,
                                    unsigned char* pri, int* priLen, unsigned char* pub, int* pubLen,
                                    unsigned char* chain, int* chainLen);
/* Y (32 bytes) of a 02/03 compressed key; no size query, the capacity must
 * be at least 33. Codes 1477, 1483, 1489, 269, 274. */
TOLVARIS_API int BCMGetPubYFromCompPub(uint32_t curve, const unsigned char* pub, int pubLen, unsigned char* y,
                                       int* yLen);
/* Compressed public key of a 32-byte private key (a key that is 0 modulo n
 * fails). A null output asks for 33. Codes 1515, 1521, 1534, 1549, 1555. */
TOLVARIS_API int BCMGenPubkeyFromPriKey(uint32_t curve, const unsigned char* pri, int priLen, unsigned char* pub,
                                        int* pubLen);

/* Ed25519 master node. Codes 1702, 1716, 1733. */
TOLVARIS_API int BCMGenMasterNode_ED(const unsigned char* seed, uint32_t seedLen, unsigned char* pri, int* priLen,
                                     unsigned char* pub, int* pubLen, unsigned char* chain, int* chainLen);
/* Ed25519 hardened child (index at least 0x80000000); the 32-byte parent
 * public key is required but not used. Codes 1761, 1768, 1782, 1800. */
TOLVARIS_API int BCMGenCKD_ED(const unsigned char* ppri, int ppriLen, const unsigned char* ppub, int ppubLen,
                              const unsigned char* pchain, int pchainLen, uint32_t index, unsigned char* cpri,
                              int* cpriLen, unsigned char* cpub, int* cpubLen, unsigned char* cchain,
                              int* cchainLen);
/* Ed25519 public key of a 32-byte secret key. A null output asks for 32.
 * Codes 1879, 1885, 1898, 1914. */
TOLVARIS_API int BCMGenPubkeyFromPriKey_ED(const unsigned char* pri, int priLen, unsigned char* pub, int* pubLen);

#endif
