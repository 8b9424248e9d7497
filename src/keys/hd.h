#ifndef TOLVARIS_KEYS_HD_H
#define TOLVARIS_KEYS_HD_H

#include <cstdint>

#include "crypto/ec/general/eccurve.h"

// Hierarchical deterministic keys. secp256k1 and P-256 follow BIP32 with the
// SLIP-10 retry rule (an HMAC half at or above n, or a zero child, derives
// again from 0x01 || IR || index); Ed25519 follows SLIP-10 (hardened children
// only). The curve comes from the signing object.
//
// A node crosses these functions as three buffers, each with its own length:
// capacity on entry, bytes written on success. A null output buffer (with
// every length pointer given) is a size query: the lengths are set to the
// sizes and nothing is derived. Outputs are written only on success.
//
// Every function returns 0 or a fixed code, and on failure records
// "Func:code" in the error trail (after the entries of what failed below).

inline constexpr int32_t kHdPriLen = 32;
inline constexpr int32_t kHdPubLen = 33;    // compressed, 02/03 || X
inline constexpr int32_t kHdEdPubLen = 32;  // Ed25519 encoded point
inline constexpr int32_t kHdChainLen = 32;
inline constexpr int32_t kHdSeedLen = 64;   // BIP39 seed of the path leaf
inline constexpr uint32_t kHdHardened = 0x80000000u;

// One node; for Ed25519 only the first 32 bytes of pub are used.
struct HDNode {
  uint8_t pri[kHdPriLen];
  uint8_t pub[kHdPubLen];
  uint8_t chain[kHdChainLen];
};

// Size query of a three-output node: true, with the lengths set to the node
// sizes, when any of the buffers is null. The length pointers must be valid.
bool HdNodeSizeQuery(const uint8_t* pri, int32_t* priLen, const uint8_t* pub, int32_t* pubLen, const uint8_t* chain,
                     int32_t* chainLen, int32_t pubSize);
// True when a capacity is below its node size.
bool HdNodeCapacityShort(const int32_t* priLen, const int32_t* pubLen, const int32_t* chainLen, int32_t pubSize);

// Compressed public key of a 32-byte private key (taken modulo n; a key that
// is 0 modulo n has no public key). Codes 247 (a null argument, a short
// capacity or a length other than 32), 252 (no public key).
int DerivePub(const uint8_t* pri, int32_t priLen, NXVT_PKC* pkc, uint8_t* pub, int32_t* pubLen);
// Y (32 bytes) of a 02/03 compressed key. Codes 269 (a null argument, another
// prefix or length, or a capacity below 33), 274 (X is not on the curve).
int GetPubYFromCompPub(const uint8_t* pub, int32_t pubLen, NXVT_PKC* pkc, uint8_t* y, int32_t* yLen);
// Ed25519 public key of a 32-byte secret key. Code 328.
int DerivePub_ED(const uint8_t* pri, int32_t priLen, uint8_t* pub, int32_t* pubLen);

// Master node of a seed (any length). Codes 112, 123, 135, 152.
int GenerateMasterNodeFromSeed(const uint8_t* seed, uint32_t seedLen, NXVT_PKC* pkc, uint8_t* pri,
                               int32_t* priLen, uint8_t* pub, int32_t* pubLen, uint8_t* chain,
                               int32_t* chainLen);

// Private child. The parent public key must be the one of the parent private
// key (a normal child is derived from it). Codes 186 (null argument, input
// lengths, a parent key 0 modulo n, a parent public key that does not belong
// to the private key), 197, 223, 256.
int CKD(const uint8_t* ppri, int32_t ppriLen, const uint8_t* ppub, int32_t ppubLen, const uint8_t* pchain,
        int32_t pchainLen, uint32_t index, NXVT_PKC* pkc, uint8_t* cpri, int32_t* cpriLen, uint8_t* cpub,
        int32_t* cpubLen, uint8_t* cchain, int32_t* cchainLen);

// Public child of a 02/03 parent key, normal indexes only. Codes 306, 317,
// 333, 343.
int CKDPub(const uint8_t* ppub, int32_t ppubLen, const uint8_t* pchain, int32_t pchainLen, uint32_t index,
           NXVT_PKC* pkc, uint8_t* cpub, int32_t* cpubLen, uint8_t* cchain, int32_t* cchainLen);

// Leaf m/purpose'/coin'/account'/change/index of a 64-byte seed (the first
// three levels are hardened here, adding 0x80000000 modulo 2^32). Codes 37,
// 48, 54, 67.
int GeneratePathLeafNodeFromSeed(const uint8_t* seed, uint32_t seedLen, uint32_t purpose, uint32_t coin,
                                 uint32_t account, uint32_t change, uint32_t index, NXVT_PKC* pkc, uint8_t* pri,
                                 int32_t* priLen, uint8_t* pub, int32_t* pubLen, uint8_t* chain,
                                 int32_t* chainLen);

// Ed25519 master node. A null output sets the lengths (32 each) and fails
// with 481. Codes 475, 481, 486, 492, 500.
int GenerateMasterNodeFromSeed_ED(const uint8_t* seed, uint32_t seedLen, uint8_t* pri, int32_t* priLen,
                                  uint8_t* pub, int32_t* pubLen, uint8_t* chain, int32_t* chainLen);

// Ed25519 hardened child; the parent public key must be given (32 bytes) but
// is not used. Codes 535 (null, lengths, a normal index), 546, 558, 563.
int CKD_ED(const uint8_t* ppri, int32_t ppriLen, const uint8_t* ppub, int32_t ppubLen, const uint8_t* pchain,
           int32_t pchainLen, uint32_t index, uint8_t* cpri, int32_t* cpriLen, uint8_t* cpub, int32_t* cpubLen,
           uint8_t* cchain, int32_t* cchainLen);

#endif
