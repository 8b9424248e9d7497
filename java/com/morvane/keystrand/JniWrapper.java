package com.morvane.keystrand;

import com.morvane.keystrand.exceptions.ConvertMnemonicToSeedFailException;
import com.morvane.keystrand.exceptions.DecryptionErrorException;
import com.morvane.keystrand.exceptions.EncryptionErrorException;
import com.morvane.keystrand.exceptions.GenerateAddressFailException;
import com.morvane.keystrand.exceptions.GenerateEntropyFailException;
import com.morvane.keystrand.exceptions.GenerateMasterNodeFailException;
import com.morvane.keystrand.exceptions.GenerateMnemonicFailException;
import com.morvane.keystrand.exceptions.GenerateTransactionFailException;
import com.morvane.keystrand.exceptions.InvalidMnemonicException;
import com.morvane.keystrand.exceptions.KeyDerivationFailException;
import com.morvane.keystrand.exceptions.MessageDigestFailException;
import com.morvane.keystrand.exceptions.MultisigErrorException;
import com.morvane.keystrand.exceptions.RunModuleException;
import com.morvane.keystrand.key.HDKeyPair;
import com.morvane.keystrand.transaction.RawTransaction;

/**
 * The native entry points of libtolvaris. Every elliptic-curve call works on
 * secp256k1. A failure throws the exception named in the method's clause
 * (java.lang.Error where none is named) with a message of the form
 * "\nOstrel Exception => " + what failed + "\n" + the library's error trail.
 */
public final class JniWrapper {
    static {
        System.loadLibrary("tolvaris");
    }

    private JniWrapper() {
    }

    /** Address of an address description (JSON) on Bitcoin's main (0) or test (0x0F000000) network. */
    public static native String GenAddr(int coinCode, String addrInfo) throws GenerateAddressFailException;

    /** bits / 8 random bytes; bits must be a non-negative multiple of 8. */
    public static native byte[] GenEntropy(int bits) throws GenerateEntropyFailException;

    /** The English BIP39 mnemonic of the entropy. */
    public static native String GenMnemonic(byte[] entropy) throws GenerateMnemonicFailException;

    /** True for a valid mnemonic; an invalid one throws. */
    public static native boolean CheckMnemonicValid(String mnemonic) throws InvalidMnemonicException;

    /** True for a word of the English list; any other word throws. */
    public static native boolean CheckMnemonicWordValid(String word) throws InvalidMnemonicException;

    /** The 64-byte BIP39 seed of a mnemonic and passphrase. */
    public static native byte[] ConvertMnemonicToSeed(String mnemonic, String passphrase)
            throws ConvertMnemonicToSeedFailException;

    /** The node m/44'/coinType'/0'/0/index of a 64-byte seed. */
    public static native HDKeyPair GenLeafNode(int coinType, byte[] seed, int index) throws KeyDerivationFailException;

    /** The child of a node; a parent without private key gives a child without one. */
    public static native HDKeyPair GenCKD(HDKeyPair parent, int index) throws KeyDerivationFailException;

    /** The master node of a seed. */
    public static native HDKeyPair GenMasterNode(byte[] seed) throws GenerateMasterNodeFailException;

    /** Signed raw transaction of a transaction description (JSON) on Bitcoin's main or test network. */
    public static native RawTransaction GenRawTransaction(int coinCode, String txInfo)
            throws GenerateTransactionFailException;

    /** SLIP-44 coin type of a coin code, 0xFFFFFFFF for an unknown code. */
    public static native int GetSlipIndex(int coinCode);

    /** The 33-byte compressed public key of a 32-byte private key. */
    public static native byte[] GenPubkeyFromPrikey(byte[] privateKey) throws KeyDerivationFailException;

    public static native String GenBase58CheckEncode(byte[] data) throws EncryptionErrorException;

    public static native byte[] GenBase58CheckDecode(String text) throws DecryptionErrorException;

    public static native String GenBase64Encode(byte[] data) throws EncryptionErrorException;

    public static native byte[] GenBase64Decode(String text) throws DecryptionErrorException;

    /** AES-128 in mode "BC_ECB" or "BC_CBC" with PKCS#7 padding; key and IV of at most 16 bytes. */
    public static native byte[] GenAESEncrypt(String mode, byte[] data, byte[] key, byte[] iv)
            throws EncryptionErrorException;

    public static native byte[] GenAESDecrypt(String mode, byte[] data, byte[] key, byte[] iv)
            throws DecryptionErrorException;

    /** AES-GCM; the output is the ciphertext followed by the tag. Failures throw java.lang.Error. */
    public static native byte[] GenAESEncryptAuth(byte[] data, byte[] key, byte[] iv, byte[] additionalData,
            int tagLength);

    /** AES-GCM; the input is the ciphertext followed by the tag. */
    public static native byte[] GenAESDecryptAuth(byte[] data, byte[] key, byte[] iv, byte[] additionalData,
            int tagLength) throws DecryptionErrorException;

    /** "ALGO_SHA256", "ALGO_SHA512", "ALGO_RIP160" or "ALGO_SHA3_KECCAK256". */
    public static native byte[] GenHashMessage(String algorithm, byte[] data) throws MessageDigestFailException;

    /** total share mnemonics of which needed restore the mnemonic. */
    public static native String[] ConvMasterMnemonicToSSSMnemonic(String mnemonic, int total, int needed)
            throws GenerateMnemonicFailException;

    /** The mnemonic that the shares restore; the second argument is not read. */
    public static native String ConvSSSMnemonicToMasterMnemonic(String[] shares, int unused)
            throws GenerateMnemonicFailException;

    /** One JSON request of the command interface; returns its reply. */
    public static native String RunModule(String request) throws RunModuleException;

    /** Kept for older callers: returns 0. */
    public static native int GetVorlekTxInputCount(int unused, byte[] tx) throws MultisigErrorException;

    /** Kept for older callers: returns four zeros. */
    public static native int[] GetVorlekTxInputSigInfo(int unused, byte[] tx, byte[] input)
            throws MultisigErrorException;

    /** Kept for older callers: returns an empty array. */
    public static native byte[] GenAddSigData(int unused, byte[] tx, byte[] signature) throws MultisigErrorException;

    /** Kept for older callers: returns an empty array. */
    public static native byte[] ConvVorlekTxToRawTx(int unused, byte[] tx) throws MultisigErrorException;

    /** Kept for older callers: returns an empty array. */
    public static native byte[] GetTxID(int unused, byte[] tx);

    /** Kept for older callers: returns an empty array. */
    public static native byte[] GenRedeems(int unused, String info) throws MultisigErrorException;

    /** Kept for older callers: returns an empty array. */
    public static native byte[] MergeVorlekTx(int unused, byte[] tx, String other) throws MultisigErrorException;
}
