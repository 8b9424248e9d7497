#ifndef TOLVARIS_UNPREFIXED_H
#define TOLVARIS_UNPREFIXED_H

#include <stdint.h>

#include "tolvaris/export.h"

/* The older export family without the BCM prefix. Most are thin forwarders
 * to a BCM* export: they fix the curve to secp256k1 or supply a constant
 * (alphabet, padding, mode, path purpose) and return the BCM* export's
 * result unchanged. They do not open the error trail themselves; the BCM*
 * export they call does. Buffers follow the BCM* convention: *len holds the
 * capacity on entry and the written length on return. */

/* Same as BCMSwapBytes. */
TOLVARIS_API int SwapBytes(unsigned char* buf, int len);
/* BCMGenEntropy(count, out): note the swapped order. */
TOLVARIS_API int GenEntropy(unsigned char* out, uint32_t count);
/* BCMConvHexStrToByteArr(hex, out, outLen). */
TOLVARIS_API int ConvHexStrToByteArr(unsigned char* out, uint32_t* outLen, const char* hex);
/* BCMConvByteArrToHexStr(in, inLen, 0, out, outLen): lower-case digits. */
TOLVARIS_API int ConvByteArrToHexStr(char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen);

TOLVARIS_API int GenBase64Encode(const unsigned char* in, uint32_t inLen, char* out, uint32_t* outLen);
TOLVARIS_API int GenBase64Decode(const char* text, unsigned char* out, uint32_t* outLen);
/* Base58Check with the Bitcoin alphabet. */
TOLVARIS_API int GenBase58CheckEncode(const unsigned char* payload, uint32_t len, char* out, uint32_t* outLen);
TOLVARIS_API int GenBase58CheckDecode(const char* text, unsigned char* out, uint32_t* outLen);
/* Base58Check with the XRP alphabet. */
TOLVARIS_API int GenXRPBase58CheckEncode(const unsigned char* payload, uint32_t len, char* out, uint32_t* outLen);
TOLVARIS_API int GenXRPBase58CheckDecode(const char* text, unsigned char* out, uint32_t* outLen);

TOLVARIS_API int GenHashMessage(uint32_t hashId, const unsigned char* msg, uint32_t msgLen, unsigned char* out,
                                int* outLen);

/* BCMGenAESEncrypt / BCMGenAESDecrypt with PKCS#7 padding. */
TOLVARIS_API int GenAESEncrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                               const unsigned char* iv, int ivLen, uint32_t mode, unsigned char* out, int* outLen);
TOLVARIS_API int GenAESDecrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                               const unsigned char* iv, int ivLen, uint32_t mode, unsigned char* out, int* outLen);
/* BCMGenAESEncryptAuth / BCMGenAESDecryptAuth in GCM. */
TOLVARIS_API int GenAESEncryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key,
                                   uint32_t keyLen, const unsigned char* iv, int ivLen, const unsigned char* aad,
                                   uint32_t aadLen, int tagLen, unsigned char* out, int* outLen);
TOLVARIS_API int GenAESDecryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key,
                                   uint32_t keyLen, const unsigned char* iv, int ivLen, const unsigned char* aad,
                                   uint32_t aadLen, int tagLen, unsigned char* out, int* outLen);

TOLVARIS_API int GenMnemonic(const unsigned char* entropy, int entropyLen, char* out, int* outLen);
TOLVARIS_API int ConvMnemonicToSeed(const char* mnemonic, const char* passphrase, unsigned char* out, int* outLen);
TOLVARIS_API int ConvMasterMnemonicToSSSMnemonic(const char* mnemonic, int total, int need, char* out,
                                                 int* outLen);
TOLVARIS_API int ConvSSSMnemonicToMasterMnemonic(const char* shares, char* out, int* outLen);
TOLVARIS_API int ChkMnemonicValid(const char* mnemonic);
TOLVARIS_API int ChkMnemonicWordValid(const char* word);
/* BCMConvMnemonicToEntropy (the export name is spelt this way). */
TOLVARIS_API int ConvMNemonicToEntropy(const char* mnemonic, unsigned char* out, int* outLen);

/* secp256k1 forms of the BCM* key exports. */
TOLVARIS_API int GenMasterNode(const unsigned char* seed, uint32_t seedLen, unsigned char* pri, int* priLen,
                               unsigned char* pub, int* pubLen, unsigned char* chain, int* chainLen);
TOLVARIS_API int GenCKD(const unsigned char* ppri, int ppriLen, const unsigned char* ppub, int ppubLen,
                        const unsigned char* pchain, int pchainLen, uint32_t index, unsigned char* cpri,
                        int* cpriLen, unsigned char* cpub, int* cpubLen, unsigned char* cchain, int* cchainLen);
TOLVARIS_API int GenCKDPub(const unsigned char* ppub, int ppubLen, const unsigned char* pchain, int pchainLen,
                           uint32_t index, unsigned char* cpub, int* cpubLen, unsigned char* cchain,
                           int* cchainLen);
TOLVARIS_API int GenPubkeyFromPriKey(const unsigned char* pri, int priLen, unsigned char* pub, int* pubLen);
TOLVARIS_API int GenSignature(const unsigned char* pri, int priLen, uint32_t hashId, const unsigned char* msg,
                              int msgLen, uint32_t keepS, unsigned char* sigR, int* sigRLen, unsigned char* sigS,
                              int* sigSLen, uint32_t* recid);
TOLVARIS_API int VerifySignature(const unsigned char* pub, int pubLen, const unsigned char* sigR, int sigRLen,
                                 const unsigned char* sigS, int sigSLen, uint32_t hashId, const unsigned char* msg,
                                 int msgLen);
/* Leaf m/44'/coin'/0'/0/index of a seed on secp256k1. */
TOLVARIS_API int GenLeafNode(uint32_t coin, const unsigned char* seed, uint32_t seedLen, uint32_t index,
                             unsigned char* pri, int* priLen, unsigned char* pub, int* pubLen, unsigned char* chain,
                             int* chainLen);
/* Leaf m/purpose'/coin'/account'/change/index of a seed on secp256k1. */
TOLVARIS_API int GenPathLeafNode(uint32_t purpose, uint32_t coin, uint32_t account, uint32_t change,
                                 uint32_t index, const unsigned char* seed, uint32_t seedLen, unsigned char* pri,
                                 int* priLen, unsigned char* pub, int* pubLen, unsigned char* chain,
                                 int* chainLen);

/* The Ed25519 exports under their old names, same arguments. */
TOLVARIS_API int GenMasterNode_ED(const unsigned char* seed, uint32_t seedLen, unsigned char* pri, int* priLen,
                                  unsigned char* pub, int* pubLen, unsigned char* chain, int* chainLen);
TOLVARIS_API int GenCKD_ED(const unsigned char* ppri, int ppriLen, const unsigned char* ppub, int ppubLen,
                           const unsigned char* pchain, int pchainLen, uint32_t index, unsigned char* cpri,
                           int* cpriLen, unsigned char* cpub, int* cpubLen, unsigned char* cchain, int* cchainLen);
TOLVARIS_API int GenPubkeyFromPriKey_ED(const unsigned char* pri, int priLen, unsigned char* pub, int* pubLen);
TOLVARIS_API int GenSignature_ED(const unsigned char* pri, int priLen, const unsigned char* msg, int msgLen,
                                 const unsigned char* ctx, int ctxLen, unsigned char prehash, unsigned char* sig,
                                 int* sigLen);
TOLVARIS_API int VerifySignature_ED(const unsigned char* sig, int sigLen, const unsigned char* pub, int pubLen,
                                    const unsigned char* msg, int msgLen, const unsigned char* ctx, int ctxLen,
                                    unsigned char prehash);

/* The same functions as BCMGetLastErr and BCMGetVer. */
TOLVARIS_API char* GetVorlekLastErr(void);
TOLVARIS_API const char* GetOstrelVer(void);

/* One function under two names: takes a format and arguments, does nothing. */
TOLVARIS_API void PrintStr(const char* format, ...);
TOLVARIS_API void BCMPrintStr(const char* format, ...);

/* One function under seven names: ignores whatever it is passed and
 * returns 0. */
#ifdef __cplusplus
TOLVARIS_API int GetTxID(...);
TOLVARIS_API int MerVorlekTx(...);
TOLVARIS_API int ConvVorlekTxToRawTx(...);
TOLVARIS_API int GenAddSigData(...);
TOLVARIS_API int GenRedeems(...);
TOLVARIS_API int GetVorlekTxInputCount(...);
TOLVARIS_API int GetVorlekTxInputSigInfo(...);
#else
TOLVARIS_API int GetTxID();
TOLVARIS_API int MerVorlekTx();
TOLVARIS_API int ConvVorlekTxToRawTx();
TOLVARIS_API int GenAddSigData();
TOLVARIS_API int GenRedeems();
TOLVARIS_API int GetVorlekTxInputCount();
TOLVARIS_API int GetVorlekTxInputSigInfo();
#endif

/* Coin codes: 0 BTC, 1 ETH, 2 BCH, 3 ETC, 4 LTC, 5 XRP, 6 EOS, 7 BSV, 8 BTG;
 * adding TOLVARIS_COIN_TESTNET marks the test network. */
#define TOLVARIS_COIN_TESTNET 0x0F000000u

/* The SLIP-44 coin type of a coin code, carrying the code's test-network
 * flag; 0xFFFFFFFF for any other value. */
TOLVARIS_API uint32_t GetSlip44Index(uint32_t code);

/* Bitcoin address of an address description (a JSON value, passed to the
 * Bitcoin-family add-on as its "addrinfo"), built through RunModule; the
 * add-on quenmod-btc is loaded by its bare file name. Only codes 0 (main
 * network) and 0x0F000000 (test network) are served.
 * *outLen holds the capacity of out on entry; on success out receives the
 * address text (no NUL) and *outLen its length, or, when the reply holds no
 * address, the whole result text of RunModule. Returns 0, or 1 (nothing
 * written) for another code, a null pointer, an addrinfo that is not one JSON
 * value, a failed request, or a capacity below the output's length. */
TOLVARIS_API int GenAddr(uint32_t code, const char* addrinfo, unsigned char* out, uint32_t* outLen);

/* Signed raw transaction of a transaction description (a JSON value, passed
 * as the add-on's "txinfo"), as GenAddr. On success out receives the raw
 * transaction's bytes and *isText is 0, or, when the reply holds no raw
 * transaction, the whole result text and *isText is 1. A null out asks for
 * the output's length: *outLen receives it, nothing else is written, 0 is
 * returned (the request runs in full each time). Returns 0 or 1 as GenAddr
 * (isText must not be null). */
TOLVARIS_API int GenRawTx(uint32_t code, const char* txinfo, uint32_t* isText, unsigned char* out,
                          uint32_t* outLen);

#endif
