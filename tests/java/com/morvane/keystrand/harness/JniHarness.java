package com.morvane.keystrand.harness;

import com.morvane.keystrand.JniWrapper;
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
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Base64;
import java.util.HexFormat;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.concurrent.atomic.AtomicInteger;
import javax.crypto.Cipher;
import javax.crypto.SecretKeyFactory;
import javax.crypto.spec.GCMParameterSpec;
import javax.crypto.spec.IvParameterSpec;
import javax.crypto.spec.PBEKeySpec;
import javax.crypto.spec.SecretKeySpec;

/**
 * Drives every native of JniWrapper through libtolvaris: values against the
 * JDK's own digests, ciphers, PBKDF2 and Base64 and against public vectors,
 * failures against their exception class and message. Prints one line per
 * failed check and ends with "N passed, N failed".
 *
 * Arguments: the vector folder (bip39-vectors.json, hd-vectors.json), and
 * "low-memory" to run only the calls whose result cannot fit the heap.
 * The library folder on java.library.path holds the test add-on quenmod-btc.so
 * beside libtolvaris.so; the property tv.addon, when set, names the add-on to
 * load by path before the drivers run.
 */
public final class JniHarness {
    private static final String PREFIX = "\nOstrel Exception => ";
    private static final HexFormat HEX = HexFormat.of();
    private static final AtomicInteger passed = new AtomicInteger();
    private static final AtomicInteger failed = new AtomicInteger();
    private static final Random random = new Random(20261210);

    private JniHarness() {
    }

    // ---- Checking ----------------------------------------------------------

    static void check(boolean ok, String what) {
        if (ok) {
            passed.incrementAndGet();
        } else {
            failed.incrementAndGet();
            System.out.println("FAILED: " + what);
        }
    }

    static void checkBytes(byte[] got, byte[] want, String what) {
        check(Arrays.equals(got, want), what + ": got " + hex(got) + ", want " + hex(want));
    }

    static void checkEquals(Object got, Object want, String what) {
        check(want == null ? got == null : want.equals(got), what + ": got [" + got + "], want [" + want + "]");
    }

    interface Call {
        Object run() throws Throwable;
    }

    interface Section {
        void run() throws Throwable;
    }

    /**
     * The call throws exactly `cls` whose message starts with the prefix and
     * `message` followed by a line feed; returns the rest of the message (the
     * library's error trail), or null when the check failed.
     */
    static String expectThrow(String what, Class<?> cls, String message, Call call) {
        try {
            Object r = call.run();
            check(false, what + ": no exception, returned " + describe(r));
            return null;
        } catch (Throwable t) {
            String want = PREFIX + message + "\n";
            boolean ok = t.getClass() == cls && t.getMessage() != null && t.getMessage().startsWith(want);
            check(ok, what + ": got " + t.getClass().getName() + " [" + t.getMessage() + "], want " + cls.getName()
                    + " [" + want + "...]");
            return ok ? t.getMessage().substring(want.length()) : null;
        }
    }

    /** As expectThrow, and the error trail names the library export that failed. */
    static void expectLibraryThrow(String what, Class<?> cls, String message, String export, Call call) {
        String trail = expectThrow(what, cls, message, call);
        if (trail != null) {
            check(trail.startsWith("[" + export + "]["), what + ": trail [" + trail + "] should name " + export);
        }
    }

    /** The export whose failure expectOwnThrow leaves on the trail first. */
    static final String EARLIER_EXPORT = "BCMGenBase58CheckDecode";

    /** Leaves the trail of a failed call of another export on this thread. */
    static void leaveEarlierTrail() {
        expectLibraryThrow("an earlier failure", DecryptionErrorException.class, "Base58check decoding failed.",
                EARLIER_EXPORT, () -> JniWrapper.GenBase58CheckDecode("1"));
    }

    /**
     * As expectThrow, for a failure before the call reaches the library (or
     * in a driver that opens no trail): right after another export failed,
     * the exception quotes an empty trail, not the one that failure left.
     */
    static void expectOwnThrow(String what, Class<?> cls, String message, Call call) {
        leaveEarlierTrail();
        String trail = expectThrow(what, cls, message, call);
        if (trail != null) {
            checkEquals(trail, "[][][]", what + ": trail");
        }
    }

    static String describe(Object r) {
        if (r instanceof byte[]) {
            return hex((byte[]) r);
        }
        if (r instanceof Object[]) {
            return Arrays.toString((Object[]) r);
        }
        return String.valueOf(r);
    }

    static String hex(byte[] b) {
        return b == null ? "null" : HEX.formatHex(b);
    }

    static byte[] unhex(String s) {
        return HEX.parseHex(s);
    }

    static byte[] randomBytes(int n) {
        byte[] b = new byte[n];
        random.nextBytes(b);
        return b;
    }

    static byte[] jdkDigest(String algo, byte[] data) throws Exception {
        return MessageDigest.getInstance(algo).digest(data);
    }

    // ---- Entropy and mnemonics ---------------------------------------------

    static void entropy() throws Throwable {
        byte[] a = JniWrapper.GenEntropy(128);
        byte[] b = JniWrapper.GenEntropy(128);
        check(a.length == 16 && b.length == 16 && !Arrays.equals(a, b), "GenEntropy(128): two fresh 16-byte draws");
        check(JniWrapper.GenEntropy(256).length == 32, "GenEntropy(256) gives 32 bytes");
        for (int bits : new int[] {127, -8, 1, Integer.MIN_VALUE}) {
            expectOwnThrow("GenEntropy(" + bits + ")", GenerateEntropyFailException.class,
                    "Invalid length for making entropy.", () -> JniWrapper.GenEntropy(bits));
        }
        expectLibraryThrow("GenEntropy above the generator's limit", GenerateEntropyFailException.class,
                "GenEntropy failed.", "BCMGenEntropy", () -> JniWrapper.GenEntropy(2049 * 8));
    }

    static void mnemonics(List<List<String>> bip39) throws Throwable {
        for (List<String> v : bip39) {
            byte[] entropy = unhex(v.get(0));
            checkEquals(JniWrapper.GenMnemonic(entropy), v.get(1), "GenMnemonic of " + v.get(0));
            check(JniWrapper.CheckMnemonicValid(v.get(1)), "CheckMnemonicValid of a BIP39 vector");
            checkBytes(JniWrapper.ConvertMnemonicToSeed(v.get(1), "TREZOR"), unhex(v.get(2)),
                    "ConvertMnemonicToSeed of " + v.get(0));
        }
        // The library refuses the length already when asked for the output's size.
        expectLibraryThrow("GenMnemonic of 15 bytes", GenerateMnemonicFailException.class,
                "Buffer length setting failed.", "BCMGenMnemonic", () -> JniWrapper.GenMnemonic(new byte[15]));
        expectOwnThrow("GenMnemonic(null)", GenerateMnemonicFailException.class, "Parameter is null.",
                () -> JniWrapper.GenMnemonic(null));

        String valid = bip39.get(1).get(1);
        String badChecksum = valid.substring(0, valid.lastIndexOf(' ')) + " abandon";
        expectLibraryThrow("CheckMnemonicValid of a bad checksum", InvalidMnemonicException.class,
                "Mnemonic validate check failed.", "BCMChkMnemonicValid",
                () -> JniWrapper.CheckMnemonicValid(badChecksum));
        expectOwnThrow("CheckMnemonicValid(null)", InvalidMnemonicException.class, "Parameter is null.",
                () -> JniWrapper.CheckMnemonicValid(null));
        // A NUL would end the text early: the valid part must not pass for the whole.
        expectOwnThrow("CheckMnemonicValid with U+0000 after a valid mnemonic", InvalidMnemonicException.class,
                "Parameter is null.", () -> JniWrapper.CheckMnemonicValid(valid + "\u0000 zoo"));

        check(JniWrapper.CheckMnemonicWordValid("abandon"), "CheckMnemonicWordValid(abandon)");
        expectLibraryThrow("CheckMnemonicWordValid(abandonx)", InvalidMnemonicException.class,
                "Mnemonic word validate check failed.", "BCMChkMnemonicWordValid",
                () -> JniWrapper.CheckMnemonicWordValid("abandonx"));
        expectOwnThrow("CheckMnemonicWordValid(null)", InvalidMnemonicException.class, "Parameter is null.",
                () -> JniWrapper.CheckMnemonicWordValid(null));
    }

    /** BIP39 seed as every wallet computes it: PBKDF2-HMAC-SHA512 over UTF-8, 2048 rounds. */
    static byte[] jdkSeed(String mnemonic, String passphrase) throws Exception {
        byte[] salt = ("mnemonic" + passphrase).getBytes(StandardCharsets.UTF_8);
        PBEKeySpec keySpec = new PBEKeySpec(mnemonic.toCharArray(), salt, 2048, 512);
        return SecretKeyFactory.getInstance("PBKDF2WithHmacSHA512").generateSecret(keySpec).getEncoded();
    }

    static void seeds(List<List<String>> bip39) throws Throwable {
        String mnemonic = bip39.get(3).get(1);
        // Characters outside the Basic Multilingual Plane reach the library as
        // four-byte UTF-8, as in every other wallet.
        String[] passphrases = {"", "TREZOR", "caf\u00e9", "\ud83d\ude00", "key \ud83d\udd11 \ud800\udc00 end",
            "\u20ac\u00a3\u00a5"};
        for (String p : passphrases) {
            checkBytes(JniWrapper.ConvertMnemonicToSeed(mnemonic, p), jdkSeed(mnemonic, p),
                    "ConvertMnemonicToSeed with passphrase " + HEX.formatHex(p.getBytes(StandardCharsets.UTF_8)));
        }
        String[] unreadable = {"pass\u0000word", "\ud83d", "x\ude00y", "\ude00\ud83d"};
        for (String p : unreadable) {
            expectOwnThrow("ConvertMnemonicToSeed, passphrase with U+0000 or an unpaired surrogate",
                    ConvertMnemonicToSeedFailException.class, "Parameter is null.",
                    () -> JniWrapper.ConvertMnemonicToSeed(mnemonic, p));
        }
        expectOwnThrow("ConvertMnemonicToSeed(null, ...)", ConvertMnemonicToSeedFailException.class,
                "Parameter is null.", () -> JniWrapper.ConvertMnemonicToSeed(null, ""));
        expectOwnThrow("ConvertMnemonicToSeed(..., null)", ConvertMnemonicToSeedFailException.class,
                "Parameter is null.", () -> JniWrapper.ConvertMnemonicToSeed(mnemonic, null));
    }

    static void shares(List<List<String>> bip39) throws Throwable {
        String mnemonic = bip39.get(5).get(1);
        String[] s = JniWrapper.ConvMasterMnemonicToSSSMnemonic(mnemonic, 3, 2);
        check(s != null && s.length == 3, "ConvMasterMnemonicToSSSMnemonic(3, 2) gives three shares");
        if (s != null && s.length == 3) {
            int[][] pairs = {{0, 1}, {0, 2}, {2, 1}};
            for (int[] p : pairs) {
                checkEquals(JniWrapper.ConvSSSMnemonicToMasterMnemonic(new String[] {s[p[0]], s[p[1]]}, 0),
                        mnemonic, "shares " + p[0] + " and " + p[1] + " restore the mnemonic");
            }
            check(!s[0].equals(s[1]) && !s[1].equals(s[2]), "the shares differ");
        }
        String[] ten = JniWrapper.ConvMasterMnemonicToSSSMnemonic(mnemonic, 10, 7);
        check(ten.length == 10 && Arrays.stream(ten).noneMatch(String::isEmpty), "ten shares, none empty");
        checkEquals(JniWrapper.ConvSSSMnemonicToMasterMnemonic(Arrays.copyOfRange(ten, 3, 10), 0), mnemonic,
                "seven of ten shares restore the mnemonic");

        // Counts the library refuses end in its refusal: no negative or huge
        // array is made first.
        int[][] badCounts = {{-1, 2}, {Integer.MIN_VALUE, 2}, {Integer.MAX_VALUE, 2}, {11, 2}, {3, 1}, {2, 3}};
        for (int[] c : badCounts) {
            try {
                Object r = JniWrapper.ConvMasterMnemonicToSSSMnemonic(mnemonic, c[0], c[1]);
                check(false, "counts " + c[0] + ", " + c[1] + " accepted: " + describe(r));
            } catch (Throwable t) {
                // The library may refuse the counts when asked for the length or
                // when asked for the shares; both are its refusal.
                String m = t.getMessage();
                String trail = "\n[BCMConvMasterMnemonicToSSSMnemonic][";
                boolean ok = t.getClass() == GenerateMnemonicFailException.class && m != null
                        && (m.startsWith(PREFIX + "Buffer length setting failed." + trail)
                        || m.startsWith(PREFIX + "Master mnemonic to shamir secret sharing mnemonic converting failed."
                                + trail));
                check(ok, "counts " + c[0] + ", " + c[1] + ": " + t);
            }
        }
        expectOwnThrow("ConvMasterMnemonicToSSSMnemonic(null)", GenerateMnemonicFailException.class,
                "Parameter is null.", () -> JniWrapper.ConvMasterMnemonicToSSSMnemonic(null, 3, 2));

        expectLibraryThrow("ConvSSSMnemonicToMasterMnemonic of one share of two", GenerateMnemonicFailException.class,
                "Shamir secret sharing mnemonic to master mnemonic converting failed.",
                "BCMConvSSSMnemonicToMasterMnemonic",
                () -> JniWrapper.ConvSSSMnemonicToMasterMnemonic(new String[] {s[0]}, 0));
        expectOwnThrow("ConvSSSMnemonicToMasterMnemonic with a null share", GenerateMnemonicFailException.class,
                "Parameter is null.", () -> JniWrapper.ConvSSSMnemonicToMasterMnemonic(new String[] {s[0], null}, 0));
        expectOwnThrow("ConvSSSMnemonicToMasterMnemonic(null)", GenerateMnemonicFailException.class,
                "Parameter is null.", () -> JniWrapper.ConvSSSMnemonicToMasterMnemonic(null, 0));
    }

    // ---- HD keys -------------------------------------------------------------

    static int parseIndex(String step) {
        return step.endsWith("'") ? Integer.parseInt(step.substring(0, step.length() - 1)) | 0x80000000
                : Integer.parseInt(step);
    }

    static void checkNode(HDKeyPair got, Map<?, ?> want, String what) {
        checkBytes(got.getPrivateKey(), unhex((String) want.get("private")), what + " private key");
        checkBytes(got.getPublicKey(), unhex((String) want.get("public")), what + " public key");
        checkBytes(got.getChainCode(), unhex((String) want.get("chain")), what + " chain code");
    }

    static void hdVectors(List<?> records) throws Throwable {
        for (Object o : records) {
            Map<?, ?> rec = (Map<?, ?>) o;
            if (!"secp256k1".equals(rec.get("curve"))) {
                continue;
            }
            String source = (String) rec.get("source");
            HDKeyPair master = JniWrapper.GenMasterNode(unhex((String) rec.get("seed")));
            for (Object c : (List<?>) rec.get("chains")) {
                Map<?, ?> chain = (Map<?, ?>) c;
                String path = (String) chain.get("path");
                HDKeyPair node = master;
                String[] steps = path.split("/");
                HDKeyPair parent = null;
                for (int i = 1; i < steps.length; i++) {
                    parent = node;
                    node = JniWrapper.GenCKD(node, parseIndex(steps[i]));
                }
                checkNode(node, chain, source + " " + path);
                pubKey(node);
                // A normal child of the public half is the public half of the child.
                if (parent != null && !steps[steps.length - 1].endsWith("'")) {
                    HDKeyPair pub = JniWrapper.GenCKD(
                            new HDKeyPair(null, parent.getPublicKey(), parent.getChainCode()),
                            parseIndex(steps[steps.length - 1]));
                    check(pub.getPrivateKey() == null, source + " " + path + ": public child has no private key");
                    checkBytes(pub.getPublicKey(), node.getPublicKey(), source + " " + path + " public child");
                    checkBytes(pub.getChainCode(), node.getChainCode(), source + " " + path + " public chain");
                }
            }
        }
    }

    static void pubKey(HDKeyPair node) throws Throwable {
        checkBytes(JniWrapper.GenPubkeyFromPrikey(node.getPrivateKey()), node.getPublicKey(),
                "GenPubkeyFromPrikey of a vector node");
    }

    static void hdFailures(byte[] seed64) throws Throwable {
        HDKeyPair m = JniWrapper.GenMasterNode(seed64);
        HDKeyPair pubOnly = new HDKeyPair(null, m.getPublicKey(), m.getChainCode());
        expectLibraryThrow("GenCKD hardened from a public parent", KeyDerivationFailException.class,
                "Childkey derivation by public key failed.", "BCMGenCKDPub",
                () -> JniWrapper.GenCKD(pubOnly, 0x80000000));
        HDKeyPair other = JniWrapper.GenCKD(m, 1);
        HDKeyPair mismatched = new HDKeyPair(m.getPrivateKey(), other.getPublicKey(), m.getChainCode());
        expectLibraryThrow("GenCKD with a public key of another private key", KeyDerivationFailException.class,
                "Childkey derivation failed.", "BCMGenCKD", () -> JniWrapper.GenCKD(mismatched, 0));
        byte[][][] badParts = {
            {m.getPrivateKey(), new byte[65], m.getChainCode()},
            {m.getPrivateKey(), null, m.getChainCode()},
            {m.getPrivateKey(), m.getPublicKey(), null},
            {new byte[31], m.getPublicKey(), m.getChainCode()},
            {m.getPrivateKey(), m.getPublicKey(), new byte[33]},
        };
        for (byte[][] p : badParts) {
            expectOwnThrow("GenCKD of a parent with a wrong part", KeyDerivationFailException.class,
                    "Java keypair to native C keypair converting failed.",
                    () -> JniWrapper.GenCKD(new HDKeyPair(p[0], p[1], p[2]), 0));
        }
        expectOwnThrow("GenCKD(null)", KeyDerivationFailException.class, "Parameter is null.",
                () -> JniWrapper.GenCKD(null, 0));

        expectOwnThrow("GenMasterNode(null)", GenerateMasterNodeFailException.class, "Parameter is null.",
                () -> JniWrapper.GenMasterNode(null));

        // The leaf is the master node and five derivations.
        for (int[] ci : new int[][] {{0, 0}, {60, 5}, {145, 0x7fffffff}}) {
            HDKeyPair leaf = JniWrapper.GenLeafNode(ci[0], seed64, ci[1]);
            HDKeyPair n = JniWrapper.GenMasterNode(seed64);
            for (int index : new int[] {44 | 0x80000000, ci[0] | 0x80000000, 0x80000000, 0, ci[1]}) {
                n = JniWrapper.GenCKD(n, index);
            }
            checkBytes(leaf.getPrivateKey(), n.getPrivateKey(), "GenLeafNode(" + ci[0] + ", " + ci[1] + ") private");
            checkBytes(leaf.getPublicKey(), n.getPublicKey(), "GenLeafNode(" + ci[0] + ", " + ci[1] + ") public");
            checkBytes(leaf.getChainCode(), n.getChainCode(), "GenLeafNode(" + ci[0] + ", " + ci[1] + ") chain");
        }
        expectLibraryThrow("GenLeafNode of a 32-byte seed", KeyDerivationFailException.class,
                "Leaf node generating failed.", "BCMGenPathLeafNode",
                () -> JniWrapper.GenLeafNode(0, new byte[32], 0));
        expectOwnThrow("GenLeafNode(null)", KeyDerivationFailException.class, "Parameter is null.",
                () -> JniWrapper.GenLeafNode(0, null, 0));

        for (int len : new int[] {0, 31, 33}) {
            expectLibraryThrow("GenPubkeyFromPrikey of " + len + " bytes", KeyDerivationFailException.class,
                    "Public key derivation from private key failed.", "BCMGenPubkeyFromPriKey",
                    () -> JniWrapper.GenPubkeyFromPrikey(new byte[len]));
        }
        expectOwnThrow("GenPubkeyFromPrikey(null)", KeyDerivationFailException.class,
                "Java bytes to native C unsigned chars converting failed.",
                () -> JniWrapper.GenPubkeyFromPrikey(null));
    }

    // ---- Codecs and digests ----------------------------------------------------

    static void codecs() throws Throwable {
        // The address of the Bitcoin wiki's worked example.
        byte[] payload = unhex("00010966776006953d5567439e5e39f86a0d273bee");
        checkEquals(JniWrapper.GenBase58CheckEncode(payload), "16UwLL9Risc3QfPqBUvKofHmBQ7wMtjvM",
                "GenBase58CheckEncode of a known payload");
        checkBytes(JniWrapper.GenBase58CheckDecode("16UwLL9Risc3QfPqBUvKofHmBQ7wMtjvM"), payload,
                "GenBase58CheckDecode of a known address");
        for (int n = 0; n < 40; n += 3) {
            byte[] b = randomBytes(n);
            checkBytes(JniWrapper.GenBase58CheckDecode(JniWrapper.GenBase58CheckEncode(b)), b,
                    "Base58Check round trip of " + n + " bytes");
        }
        for (String bad : new String[] {"16UwLL9Risc3QfPqBUvKofHmBQ7wMtjvN", "0OIl", "", "1"}) {
            expectLibraryThrow("GenBase58CheckDecode(" + bad + ")", DecryptionErrorException.class,
                    "Base58check decoding failed.", "BCMGenBase58CheckDecode",
                    () -> JniWrapper.GenBase58CheckDecode(bad));
        }
        expectOwnThrow("GenBase58CheckEncode(null)", EncryptionErrorException.class, "Parameter is null.",
                () -> JniWrapper.GenBase58CheckEncode(null));
        expectOwnThrow("GenBase58CheckDecode(null)", DecryptionErrorException.class, "Parameter is null.",
                () -> JniWrapper.GenBase58CheckDecode(null));

        for (int n = 0; n < 50; n++) {
            byte[] b = randomBytes(n);
            String jdk = Base64.getEncoder().encodeToString(b);
            checkEquals(JniWrapper.GenBase64Encode(b), jdk, "GenBase64Encode of " + n + " bytes");
            if (n > 0) {
                checkBytes(JniWrapper.GenBase64Decode(jdk), b, "GenBase64Decode of " + n + " bytes");
            }
        }
        for (String bad : new String[] {"abc!", "", "QQ===", "QQ==QQ=="}) {
            expectLibraryThrow("GenBase64Decode(" + bad + ")", DecryptionErrorException.class,
                    "Base64 decoding failed.", "BCMGenBase64Decode", () -> JniWrapper.GenBase64Decode(bad));
        }
        expectOwnThrow("GenBase64Encode(null)", EncryptionErrorException.class, "Parameter is null.",
                () -> JniWrapper.GenBase64Encode(null));
        expectOwnThrow("GenBase64Decode(null)", DecryptionErrorException.class, "Parameter is null.",
                () -> JniWrapper.GenBase64Decode(null));
    }

    static void digests() throws Throwable {
        for (int n : new int[] {0, 1, 55, 56, 64, 111, 112, 128, 1000}) {
            byte[] b = randomBytes(n);
            checkBytes(JniWrapper.GenHashMessage("ALGO_SHA256", b), jdkDigest("SHA-256", b), "SHA-256 of " + n);
            checkBytes(JniWrapper.GenHashMessage("ALGO_SHA512", b), jdkDigest("SHA-512", b), "SHA-512 of " + n);
        }
        byte[] abc = "abc".getBytes(StandardCharsets.US_ASCII);
        String[][] known = {
            {"ALGO_RIP160", "", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
            {"ALGO_RIP160", "abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
            {"ALGO_SHA3_KECCAK256", "", "c5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470"},
            {"ALGO_SHA3_KECCAK256", "abc", "4e03657aea45a94fc7d47ba826c8d667c0d1e6e33a64a036ec44f58fa12d6c45"},
        };
        for (String[] k : known) {
            checkBytes(JniWrapper.GenHashMessage(k[0], k[1].getBytes(StandardCharsets.US_ASCII)), unhex(k[2]),
                    k[0] + " of \"" + k[1] + "\"");
        }
        for (String name : new String[] {"SHA3-KECCAK512", "SHA256", "algo_sha256", "ALGO_SHA256 ", ""}) {
            expectOwnThrow("GenHashMessage(" + name + ")", MessageDigestFailException.class, "Not provided algorithm.",
                    () -> JniWrapper.GenHashMessage(name, abc));
        }
        expectOwnThrow("GenHashMessage(null, ...)", MessageDigestFailException.class, "Parameter is null.",
                () -> JniWrapper.GenHashMessage(null, abc));
        expectOwnThrow("GenHashMessage(..., null)", MessageDigestFailException.class, "Parameter is null.",
                () -> JniWrapper.GenHashMessage("ALGO_SHA256", null));
    }

    // ---- AES -------------------------------------------------------------------

    static byte[] jdkAes(String transformation, int mode, byte[] key, byte[] iv, byte[] data) throws Exception {
        Cipher c = Cipher.getInstance(transformation);
        SecretKeySpec k = new SecretKeySpec(key, "AES");
        if (iv == null) {
            c.init(mode, k);
        } else {
            c.init(mode, k, new IvParameterSpec(iv));
        }
        return c.doFinal(data);
    }

    static void aes() throws Throwable {
        for (int n = 0; n < 40; n += 3) {
            byte[] key = randomBytes(16);
            byte[] iv = randomBytes(16);
            byte[] data = randomBytes(n);
            byte[] ecb = jdkAes("AES/ECB/PKCS5Padding", Cipher.ENCRYPT_MODE, key, null, data);
            byte[] cbc = jdkAes("AES/CBC/PKCS5Padding", Cipher.ENCRYPT_MODE, key, iv, data);
            checkBytes(JniWrapper.GenAESEncrypt("BC_ECB", data, key, iv), ecb, "AES-ECB of " + n + " bytes");
            checkBytes(JniWrapper.GenAESEncrypt("BC_CBC", data, key, iv), cbc, "AES-CBC of " + n + " bytes");
            checkBytes(JniWrapper.GenAESDecrypt("BC_ECB", ecb, key, iv), data, "AES-ECB decrypt of " + n);
            checkBytes(JniWrapper.GenAESDecrypt("BC_CBC", cbc, key, iv), data, "AES-CBC decrypt of " + n);
        }
        byte[] key = randomBytes(16);
        byte[] iv = randomBytes(16);
        byte[] data = randomBytes(20);
        for (String mode : new String[] {"BC_CTR", "bc_ecb", "BC_GCM", "", "BC_ECB\u00e9"}) {
            expectOwnThrow("GenAESEncrypt mode " + mode, EncryptionErrorException.class, "Not provided mode.",
                    () -> JniWrapper.GenAESEncrypt(mode, data, key, iv));
            expectOwnThrow("GenAESDecrypt mode " + mode, DecryptionErrorException.class, "Not provided mode.",
                    () -> JniWrapper.GenAESDecrypt(mode, data, key, iv));
        }
        String overlong = "jni_aes.cpp: key and IV may hold at most 16 bytes.";
        expectOwnThrow("GenAESEncrypt with a 32-byte key", Error.class, overlong,
                () -> JniWrapper.GenAESEncrypt("BC_ECB", data, randomBytes(32), iv));
        expectOwnThrow("GenAESDecrypt with a 17-byte IV", Error.class, overlong,
                () -> JniWrapper.GenAESDecrypt("BC_CBC", data, key, randomBytes(17)));
        // Key and IV are judged before the mode.
        expectOwnThrow("GenAESEncrypt, long key and unknown mode", Error.class, overlong,
                () -> JniWrapper.GenAESEncrypt("BC_CTR", data, randomBytes(32), iv));
        expectLibraryThrow("GenAESEncrypt with a 15-byte key", EncryptionErrorException.class,
                "Buffer length setting failed.", "BCMGenAESEncrypt",
                () -> JniWrapper.GenAESEncrypt("BC_CBC", data, randomBytes(15), iv));
        expectLibraryThrow("GenAESDecrypt of 17 bytes", DecryptionErrorException.class, "AES decryption failed.",
                "BCMGenAESDecrypt", () -> JniWrapper.GenAESDecrypt("BC_ECB", randomBytes(17), key, iv));
        // A block of zeros under the key decrypts to a last byte that is no padding.
        byte[] badPadding = jdkAes("AES/ECB/NoPadding", Cipher.ENCRYPT_MODE, key, null, new byte[16]);
        expectLibraryThrow("GenAESDecrypt of a ciphertext without valid padding", DecryptionErrorException.class,
                "AES decryption failed.", "BCMGenAESDecrypt",
                () -> JniWrapper.GenAESDecrypt("BC_ECB", badPadding, key, iv));
        Object[][] nulls = {{null, data, key, iv}, {"BC_ECB", null, key, iv}, {"BC_ECB", data, null, iv},
            {"BC_ECB", data, key, null}};
        for (Object[] a : nulls) {
            expectOwnThrow("GenAESEncrypt with a null argument", EncryptionErrorException.class, "Parameter is null.",
                    () -> JniWrapper.GenAESEncrypt((String) a[0], (byte[]) a[1], (byte[]) a[2], (byte[]) a[3]));
            expectOwnThrow("GenAESDecrypt with a null argument", DecryptionErrorException.class, "Parameter is null.",
                    () -> JniWrapper.GenAESDecrypt((String) a[0], (byte[]) a[1], (byte[]) a[2], (byte[]) a[3]));
        }
    }

    static void aesGcm() throws Throwable {
        for (int n = 0; n < 40; n += 7) {
            for (int tag : new int[] {16, 12}) {
                byte[] key = randomBytes(16);
                byte[] iv = randomBytes(16);
                byte[] aad = randomBytes(n % 5 * 4);
                byte[] data = randomBytes(n);
                Cipher c = Cipher.getInstance("AES/GCM/NoPadding");
                c.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(key, "AES"), new GCMParameterSpec(tag * 8, iv));
                c.updateAAD(aad);
                byte[] jdk = c.doFinal(data);
                checkBytes(JniWrapper.GenAESEncryptAuth(data, key, iv, aad, tag), jdk,
                        "AES-GCM of " + n + " bytes, tag " + tag);
                checkBytes(JniWrapper.GenAESDecryptAuth(jdk, key, iv, aad, tag), data,
                        "AES-GCM decrypt of " + n + " bytes, tag " + tag);
                byte[] tampered = jdk.clone();
                tampered[tampered.length - 1] ^= 1;
                expectLibraryThrow("AES-GCM decrypt with a changed tag", DecryptionErrorException.class,
                        "AES decryption failed.", "BCMGenAESDecryptAuth",
                        () -> JniWrapper.GenAESDecryptAuth(tampered, key, iv, aad, tag));
            }
        }
        byte[] key = randomBytes(16);
        byte[] iv = randomBytes(16);
        byte[] aad = new byte[0];
        byte[] data = randomBytes(10);
        String overlong = "jni_aes.cpp: key and IV may hold at most 16 bytes.";
        expectOwnThrow("GenAESEncryptAuth with a 32-byte key", Error.class, overlong,
                () -> JniWrapper.GenAESEncryptAuth(data, randomBytes(32), iv, aad, 16));
        expectOwnThrow("GenAESDecryptAuth with a 17-byte IV", Error.class, overlong,
                () -> JniWrapper.GenAESDecryptAuth(data, key, randomBytes(17), aad, 16));
        // Every failure of the encrypting one raises java.lang.Error.
        expectLibraryThrow("GenAESEncryptAuth with a 12-byte IV", Error.class, "Buffer length setting failed.",
                "BCMGenAESEncryptAuth", () -> JniWrapper.GenAESEncryptAuth(data, key, randomBytes(12), aad, 16));
        expectOwnThrow("GenAESEncryptAuth with a null additional data", Error.class, "Parameter is null.",
                () -> JniWrapper.GenAESEncryptAuth(data, key, iv, null, 16));
        expectOwnThrow("GenAESDecryptAuth with a null key", DecryptionErrorException.class, "Parameter is null.",
                () -> JniWrapper.GenAESDecryptAuth(data, null, iv, aad, 16));
    }

    // ---- Command interface and drivers ---------------------------------------------

    static void runModule() throws Throwable {
        String data = "\ud83d\ude00 caf\u00e9 \u20ac";
        String reply = JniWrapper.RunModule("{\"action\":\"GenHashMessage\",\"args\":{\"hashalgo\":\"SHA256\","
                + "\"data\":\"" + data + "\"}}");
        check(reply.contains("\"data\":\"" + data + "\""), "RunModule echoes an emoji: " + reply);
        String md = "0x" + hex(jdkDigest("SHA-256", data.getBytes(StandardCharsets.UTF_8)));
        check(reply.contains("\"md\":\"" + md + "\""), "RunModule hashes the UTF-8 bytes: " + reply);

        leaveEarlierTrail();
        String trail = expectThrow("RunModule of an unknown action", RunModuleException.class,
                "runmodule error return", () -> JniWrapper.RunModule("{\"action\":\"NoSuchAction\",\"args\":{}}"));
        check(trail != null && trail.startsWith("{\"action\":\"NoSuchAction\",\"result\":\"fail\""),
                "RunModuleException carries the reply: " + trail);
        check(trail != null && !trail.contains(EARLIER_EXPORT), "RunModuleException names no earlier call: " + trail);
        // The failure reply echoes the caller's text; the exception carries it intact.
        String emojis = "\ud83d\ude00\ud83d\ude00\ud83d\ude00";
        trail = expectThrow("RunModule of a failing request that echoes an emoji", RunModuleException.class,
                "runmodule error return",
                () -> JniWrapper.RunModule("{\"action\":\"GenMNemonic\",\"args\":{\"entropy\":\"" + emojis + "\"}}"));
        check(trail != null && trail.contains("\"entropy\":\"" + emojis + "\""),
                "RunModuleException keeps the emoji of the reply: " + trail);
        expectOwnThrow("RunModule of a request with U+0000", RunModuleException.class, "Parameter is null.",
                () -> JniWrapper.RunModule("{\"action\":\"GenEntropy\u0000\",\"args\":{}}"));
        expectOwnThrow("RunModule(null)", RunModuleException.class, "Parameter is null.",
                () -> JniWrapper.RunModule(null));
    }

    static void drivers() throws Throwable {
        String addon = System.getProperty("tv.addon");
        if (addon != null) {
            System.load(addon);
        }
        String info = "{\"pubs\":[{\"pub\":\"0x02ab\"}],\"addr_type\":\"p2pkh\"}";
        checkEquals(JniWrapper.GenAddr(0, info), "main:p2pkh:0x02ab", "GenAddr on the main network");
        checkEquals(JniWrapper.GenAddr(0x0F000000, info), "test:p2pkh:0x02ab", "GenAddr on the test network");
        for (int code : new int[] {1, 4, 0x0F000007}) {
            expectOwnThrow("GenAddr for coin code " + code, GenerateAddressFailException.class,
                    "Generating address failed.", () -> JniWrapper.GenAddr(code, info));
        }
        expectOwnThrow("GenAddr of a failing request", GenerateAddressFailException.class, "Generating address failed.",
                () -> JniWrapper.GenAddr(0, "{\"fail\":true}"));
        expectOwnThrow("GenAddr(..., null)", GenerateAddressFailException.class, "Parameter is null.",
                () -> JniWrapper.GenAddr(0, null));

        RawTransaction raw = JniWrapper.GenRawTransaction(0, "{\"rawtx\":\"0x0100ff\"}");
        check(raw.getKind() == RawTransaction.RAW, "GenRawTransaction kind of a raw transaction");
        checkBytes(raw.getBytes(), unhex("0100ff"), "GenRawTransaction bytes");
        byte[] big = randomBytes(5000);
        raw = JniWrapper.GenRawTransaction(0x0F000000, "{\"rawtx\":\"0x" + hex(big) + "\"}");
        checkBytes(raw.getBytes(), big, "GenRawTransaction of 5000 bytes");
        RawTransaction text = JniWrapper.GenRawTransaction(0, "{\"inputs\":[]}");
        String t = new String(text.getBytes(), StandardCharsets.UTF_8);
        check(text.getKind() == RawTransaction.TEXT && t.startsWith("{\"action\":\"GenTx\"")
                && t.contains("\"result\":\"success\""), "GenRawTransaction without a raw transaction: " + t);
        expectOwnThrow("GenRawTransaction of a failing request", GenerateTransactionFailException.class,
                "Buffer length setting failed.", () -> JniWrapper.GenRawTransaction(0, "{\"fail\":true}"));
        expectOwnThrow("GenRawTransaction for coin code 1", GenerateTransactionFailException.class,
                "Buffer length setting failed.", () -> JniWrapper.GenRawTransaction(1, "{\"rawtx\":\"0x01\"}"));
        expectOwnThrow("GenRawTransaction(..., null)", GenerateTransactionFailException.class, "Parameter is null.",
                () -> JniWrapper.GenRawTransaction(0, null));

        int[][] slip = {{0, 0}, {1, 60}, {2, 145}, {3, 61}, {4, 2}, {5, 144}, {6, 194}, {7, 236}, {8, 156},
            {0x0F000001, 0x0F00003C}, {9, -1}, {-1, -1}};
        for (int[] s : slip) {
            checkEquals(JniWrapper.GetSlipIndex(s[0]), s[1], "GetSlipIndex(" + s[0] + ")");
        }
    }

    // ---- Stubs ---------------------------------------------------------------------

    static void stubs() throws Throwable {
        byte[] b = {1, 2, 3};
        checkEquals(JniWrapper.GetVorlekTxInputCount(7, b), 0, "GetVorlekTxInputCount");
        check(Arrays.equals(JniWrapper.GetVorlekTxInputSigInfo(7, b, b), new int[4]), "GetVorlekTxInputSigInfo");
        checkBytes(JniWrapper.GenAddSigData(7, b, b), new byte[0], "GenAddSigData");
        checkBytes(JniWrapper.ConvVorlekTxToRawTx(7, b), new byte[0], "ConvVorlekTxToRawTx");
        checkBytes(JniWrapper.GetTxID(7, b), new byte[0], "GetTxID");
        checkBytes(JniWrapper.GenRedeems(7, "x"), new byte[0], "GenRedeems");
        checkBytes(JniWrapper.MergeVorlekTx(7, b, "x"), new byte[0], "MergeVorlekTx");

        String n = "Parameter is null.";
        String conv = "Java bytes to native C unsigned chars converting failed.";
        expectOwnThrow("GetVorlekTxInputCount(null)", MultisigErrorException.class, n,
                () -> JniWrapper.GetVorlekTxInputCount(0, null));
        expectOwnThrow("GetVorlekTxInputSigInfo(null, b)", MultisigErrorException.class, n,
                () -> JniWrapper.GetVorlekTxInputSigInfo(0, null, b));
        expectOwnThrow("GetVorlekTxInputSigInfo(b, null)", MultisigErrorException.class, conv,
                () -> JniWrapper.GetVorlekTxInputSigInfo(0, b, null));
        expectOwnThrow("GenAddSigData(null, b)", MultisigErrorException.class, n,
                () -> JniWrapper.GenAddSigData(0, null, b));
        expectOwnThrow("GenAddSigData(b, null)", MultisigErrorException.class, conv,
                () -> JniWrapper.GenAddSigData(0, b, null));
        expectOwnThrow("ConvVorlekTxToRawTx(null)", MultisigErrorException.class, n,
                () -> JniWrapper.ConvVorlekTxToRawTx(0, null));
        expectOwnThrow("GetTxID(null)", Error.class, n, () -> JniWrapper.GetTxID(0, null));
        expectOwnThrow("GenRedeems(null)", MultisigErrorException.class, n, () -> JniWrapper.GenRedeems(0, null));
        expectOwnThrow("MergeVorlekTx(null, x)", MultisigErrorException.class, n,
                () -> JniWrapper.MergeVorlekTx(0, null, "x"));
        expectOwnThrow("MergeVorlekTx(b, null)", MultisigErrorException.class, n,
                () -> JniWrapper.MergeVorlekTx(0, b, null));
    }

    // ---- Threads ---------------------------------------------------------------------

    /** Each thread's exceptions carry the trail of its own failed call. */
    static void threads() throws Throwable {
        Call[] failing = {
            () -> JniWrapper.GenMnemonic(new byte[15]),
            () -> JniWrapper.GenBase64Decode("abc!"),
            () -> JniWrapper.GenBase58CheckDecode("1"),
            () -> JniWrapper.CheckMnemonicWordValid("zzzz"),
        };
        String[] exports = {"BCMGenMnemonic", "BCMGenBase64Decode", "BCMGenBase58CheckDecode",
            "BCMChkMnemonicWordValid"};
        AtomicInteger wrong = new AtomicInteger();
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < 8; t++) {
            final int k = t % failing.length;
            Thread th = new Thread(() -> {
                byte[] data = {1, 2, 3};
                for (int i = 0; i < 300; i++) {
                    try {
                        JniWrapper.GenHashMessage("ALGO_SHA256", data);
                        failing[k].run();
                        wrong.incrementAndGet();
                    } catch (Throwable e) {
                        String m = e.getMessage();
                        int at = m == null ? -1 : m.indexOf("\n[", PREFIX.length());
                        if (at < 0 || !m.startsWith("[" + exports[k] + "][", at + 1)) {
                            wrong.incrementAndGet();
                        }
                    }
                }
            });
            threads.add(th);
            th.start();
        }
        for (Thread th : threads) {
            th.join();
        }
        checkEquals(wrong.get(), 0, "calls whose exception named another thread's failure");
    }

    // ---- A full heap ---------------------------------------------------------------------

    /**
     * Run with a small heap: the input fits, the result does not. The VM's
     * OutOfMemoryError is what Java sees, and no JNI call follows it (the JNI
     * checks would report one).
     */
    static void lowMemory() throws Throwable {
        long room = Runtime.getRuntime().maxMemory();
        byte[] data = new byte[(int) (room * 5 / 8)];
        byte[] key = new byte[16];
        Call[] calls = {
            () -> JniWrapper.GenAESEncrypt("BC_ECB", data, key, key),
            () -> JniWrapper.GenBase64Encode(data),
            () -> JniWrapper.GenHashMessage("ALGO_SHA256", data),
        };
        String[] names = {"GenAESEncrypt", "GenBase64Encode", "GenHashMessage"};
        for (int i = 0; i < calls.length; i++) {
            try {
                Object r = calls[i].run();
                // Only the digest is small enough to be made.
                check(i == 2 && r instanceof byte[] && ((byte[]) r).length == 32,
                        names[i] + " on a full heap returned " + describe(r));
            } catch (OutOfMemoryError e) {
                check(i != 2, names[i] + " on a full heap: " + e);
            } catch (Throwable t) {
                check(false, names[i] + " on a full heap: " + t);
            }
        }
    }

    // ---- Main ------------------------------------------------------------------------

    @SuppressWarnings("unchecked")
    public static void main(String[] args) throws Throwable {
        if (args.length > 1 && args[1].equals("low-memory")) {
            try {
                lowMemory();
            } catch (Throwable t) {
                check(false, "unexpected " + t);
            }
            System.out.println(passed.get() + " passed, " + failed.get() + " failed");
            System.exit(failed.get() == 0 ? 0 : 1);
        }
        Path vectors = Path.of(args[0]);
        Map<String, Object> bip39File = (Map<String, Object>) Json.parse(
                Files.readString(vectors.resolve("bip39-vectors.json")));
        List<List<String>> bip39 = new ArrayList<>();
        for (Object o : (List<Object>) bip39File.get("english")) {
            bip39.add((List<String>) o);
        }
        List<Object> hd = (List<Object>) Json.parse(Files.readString(vectors.resolve("hd-vectors.json")));

        Section[] sections = {
            JniHarness::entropy,
            () -> mnemonics(bip39),
            () -> seeds(bip39),
            () -> shares(bip39),
            () -> hdVectors(hd),
            () -> hdFailures(unhex(bip39.get(0).get(2))),
            JniHarness::codecs,
            JniHarness::digests,
            JniHarness::aes,
            JniHarness::aesGcm,
            JniHarness::runModule,
            JniHarness::drivers,
            JniHarness::stubs,
            JniHarness::threads,
        };
        for (Section s : sections) {
            try {
                s.run();
            } catch (Throwable t) {
                check(false, "unexpected " + t);
                t.printStackTrace(System.out);
            }
        }
        System.out.println(passed.get() + " passed, " + failed.get() + " failed");
        System.exit(failed.get() == 0 ? 0 : 1);
    }
}
