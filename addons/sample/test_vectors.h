#ifndef QUENMOD_SAMPLE_TEST_VECTORS_H
#define QUENMOD_SAMPLE_TEST_VECTORS_H

// The stored vectors of the self-tests. Every table holds texts, decoded by
// the test that reads them; each vector table ends in an all-empty record.

#include <cstddef>

// ECDSA records: curve ("0" secp256k1, "1" P-256: stored, never run), private
// key, compressed public key, 3-byte message, hash selector ("0" SHA-256,
// else Keccak-256), flag ("0" low S, else S as computed), R, S (each with a
// leading 00 byte when its top bit is set) and recovery id.
inline constexpr size_t kEcdsaVectorCount = 25;
inline constexpr size_t kEcdsaFields = 9;
extern const char* const ECDSATestVectors[kEcdsaVectorCount][kEcdsaFields];

// Ed25519 records: secret key, public key, message, context, prehash flag
// ("0" or "1") and signature.
inline constexpr size_t kEd25519VectorCount = 11;
inline constexpr size_t kEd25519Fields = 6;
extern const char* const Ed25519TestVectors[kEd25519VectorCount][kEd25519Fields];

// The bytes of the codec and digest tests, and what the core must make of
// them.
extern const char kTestBytes[];
inline constexpr int kHashIds[] = {3, 1, 2, 11, -1};
extern const char* const kExpectedDigests[4];  // in the order of kHashIds
extern const char kExpectedBase64[];
extern const char kExpectedBase58Check[];

// The BIP39 entropy and its English mnemonic.
extern const char kMnemonicEntropy[];
extern const char kExpectedMnemonic[];

#endif
