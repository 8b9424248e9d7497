package com.morvane.keystrand.key;

/**
 * One node of a hierarchical deterministic key tree: private key (32 bytes,
 * or null for a node that holds only its public half), compressed public key
 * (33 bytes) and chain code (32 bytes). The native side reads the three
 * fields by name and builds new nodes through the three-array constructor.
 */
public class HDKeyPair {
    private byte[] privateKey;
    private byte[] publicKey;
    private byte[] chainCode;

    public HDKeyPair(byte[] privateKey, byte[] publicKey, byte[] chainCode) {
        this.privateKey = privateKey;
        this.publicKey = publicKey;
        this.chainCode = chainCode;
    }

    public byte[] getPrivateKey() {
        return privateKey;
    }

    public byte[] getPublicKey() {
        return publicKey;
    }

    public byte[] getChainCode() {
        return chainCode;
    }
}
