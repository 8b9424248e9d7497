package com.morvane.keystrand.transaction;

/**
 * What a transaction request produced: the raw transaction's bytes (kind
 * RAW), or, when the reply held no raw transaction, the reply text itself as
 * UTF-8 bytes (kind TEXT).
 */
public class RawTransaction {
    public static final int RAW = 0;
    public static final int TEXT = 1;

    private final byte[] bytes;
    private final int kind;

    public RawTransaction(byte[] bytes, int kind) {
        this.bytes = bytes;
        this.kind = kind;
    }

    public byte[] getBytes() {
        return bytes;
    }

    public int getKind() {
        return kind;
    }
}
