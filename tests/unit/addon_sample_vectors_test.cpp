// Every stored vector of the self-tests, recomputed outside this system:
// ECDSA records (both curves) with python3-ecdsa's RFC 6979 nonce and
// pycryptodome's Keccak-256, Ed25519 records with python3-nacl (plain) and
// RFC 8032's own construction over hashlib (context and prehash), digests
// with hashlib and pycryptodome, Base64 and Base58Check with the standard
// library, the mnemonic with python3-mnemonic. A typo in a table fails here.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "test_vectors.h"
#include "tv_test.h"

namespace {

const char kRecompute[] = R"PY(
import base64, hashlib, json, sys
import ecdsa
from ecdsa.rfc6979 import generate_k
from Cryptodome.Hash import RIPEMD160, keccak
from mnemonic import Mnemonic
import nacl.signing

doc = json.load(sys.stdin)
bad = []

def unhex(t):
    return bytes.fromhex(t[2:]) if t else b''

def kec(b):
    h = keccak.new(digest_bits=256); h.update(b); return h.digest()

def field(v):
    b = int(v).to_bytes(32, 'big')
    return '0x' + (b'\0' + b if b[0] & 0x80 else b).hex()

for i, v in enumerate(doc['ecdsa']):
    if not v[1]:
        continue
    curve = ecdsa.SECP256k1 if v[0] == '0' else ecdsa.NIST256p
    n, G = curve.order, curve.generator
    d = int.from_bytes(unhex(v[1]), 'big')
    msg = unhex(v[3])
    z = hashlib.sha256(msg).digest() if v[4] == '0' else kec(msg)
    k = generate_k(n, d, hashlib.sha256, z)
    R = k * G
    r = int(R.x()) % n
    recid = int(R.y()) & 1
    s = pow(k, -1, n) * (int.from_bytes(z, 'big') + r * d) % n
    if v[5] == '0' and s > n // 2:
        s, recid = n - s, recid ^ 1
    P = d * G
    pub = '0x%02x' % (2 + (int(P.y()) & 1)) + int(P.x()).to_bytes(32, 'big').hex()
    want = [pub, field(r), field(s), str(recid)]
    got = [v[2], v[6], v[7], v[8]]
    if want != got or len(msg) != 3:
        bad.append('ecdsa %d: %s != %s' % (i, got, want))

# RFC 8032 Ed25519ctx and Ed25519ph on top of the group law of python3-nacl's
# library would need its internals: rebuild them here from the RFC.
p = 2**255 - 19
L = 2**252 + 27742317777372353535851937790883648493
dcoef = -121665 * pow(121666, p - 2, p) % p
def inv(x): return pow(x, p - 2, p)
def add(P, Q):
    x1, y1 = P; x2, y2 = Q
    t = dcoef * x1 * x2 * y1 * y2 % p
    return ((x1 * y2 + x2 * y1) * inv(1 + t) % p, (y1 * y2 + x1 * x2) * inv(1 - t) % p)
def mul(k, P):
    Q = (0, 1)
    while k:
        if k & 1: Q = add(Q, P)
        P = add(P, P); k >>= 1
    return Q
gy = 4 * inv(5) % p
gx2 = (gy * gy - 1) * inv(dcoef * gy * gy + 1) % p
gx = pow(gx2, (p + 3) // 8, p)
if (gx * gx - gx2) % p: gx = gx * pow(2, (p - 1) // 4, p) % p
if gx & 1: gx = p - gx
B = (gx, gy)
def enc(P): return int(P[1] | ((P[0] & 1) << 255)).to_bytes(32, 'little')
def sign(sk, msg, ctx, ph):
    h = hashlib.sha512(sk).digest()
    a = int.from_bytes(h[:32], 'little'); a &= (1 << 254) - 8; a |= 1 << 254
    A = enc(mul(a, B))
    if ph: msg = hashlib.sha512(msg).digest()
    dom = b'' if (not ph and ctx is None) else b'SigEd25519 no Ed25519 collisions' + bytes([1 if ph else 0, len(ctx or b'')]) + (ctx or b'')
    r = int.from_bytes(hashlib.sha512(dom + h[32:] + msg).digest(), 'little') % L
    R = enc(mul(r, B))
    k = int.from_bytes(hashlib.sha512(dom + R + A + msg).digest(), 'little') % L
    return A, R + ((r + k * a) % L).to_bytes(32, 'little')

for i, v in enumerate(doc['ed25519']):
    if not v[0]:
        continue
    sk, msg, ctx, ph = unhex(v[0]), unhex(v[2]), (unhex(v[3]) if v[3] else None), v[4] == '1'
    A, sig = sign(sk, msg, ctx, ph)
    want = ['0x' + A.hex(), '0x' + sig.hex()]
    if not ph and ctx is None:
        key = nacl.signing.SigningKey(sk)
        want2 = ['0x' + bytes(key.verify_key).hex(), '0x' + key.sign(msg).signature.hex()]
        if want2 != want:
            bad.append('ed25519 %d: the two computations differ' % i)
    if [v[1], v[5]] != want:
        bad.append('ed25519 %d: %s != %s' % (i, [v[1], v[5]], want))

tb = unhex(doc['bytes'])
digests = ['0x' + RIPEMD160.new(tb).hexdigest(), '0x' + hashlib.sha256(tb).hexdigest(),
           '0x' + hashlib.sha512(tb).hexdigest(), '0x' + kec(tb).hex()]
if digests != doc['digests']: bad.append('digests %s != %s' % (doc['digests'], digests))
if base64.b64encode(tb).decode() != doc['base64']: bad.append('base64')
A58 = '123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz'
payload = tb + hashlib.sha256(hashlib.sha256(tb).digest()).digest()[:4]
num, text = int.from_bytes(payload, 'big'), ''
while num: num, rem = divmod(num, 58); text = A58[rem] + text
text = '1' * (len(payload) - len(payload.lstrip(b'\0'))) + text
if text != doc['base58']: bad.append('base58 %s != %s' % (doc['base58'], text))
if Mnemonic('english').to_mnemonic(unhex(doc['entropy'])) != doc['mnemonic']: bad.append('mnemonic')
print('\n'.join(bad) if bad else 'ok')
)PY";

Json::Value Table(const char* const* cells, size_t rows, size_t cols) {
  Json::Value t(Json::arrayValue);
  for (size_t i = 0; i < rows; ++i) {
    Json::Value row(Json::arrayValue);
    for (size_t j = 0; j < cols; ++j) row.append(cells[i * cols + j]);
    t.append(row);
  }
  return t;
}

TEST(SampleVectors, RecomputedOutside) {
  Json::Value doc;
  doc["ecdsa"] = Table(&ECDSATestVectors[0][0], kEcdsaVectorCount, kEcdsaFields);
  doc["ed25519"] = Table(&Ed25519TestVectors[0][0], kEd25519VectorCount, kEd25519Fields);
  doc["bytes"] = kTestBytes;
  for (const char* md : kExpectedDigests) doc["digests"].append(md);
  doc["base64"] = kExpectedBase64;
  doc["base58"] = kExpectedBase58Check;
  doc["entropy"] = kMnemonicEntropy;
  doc["mnemonic"] = kExpectedMnemonic;
  Json::StreamWriterBuilder w;
  EXPECT_EQ(tvt::RunPython(kRecompute, Json::writeString(w, doc)), "ok\n");
}

// The shape the self-tests rely on: 24 records and the empty end record, 10
// and the empty end record; at least one R and one raw S with the top bit set.
TEST(SampleVectors, TableShape) {
  for (size_t j = 0; j < kEcdsaFields; ++j) EXPECT_STREQ(ECDSATestVectors[kEcdsaVectorCount - 1][j], "");
  for (size_t j = 0; j < kEd25519Fields; ++j) EXPECT_STREQ(Ed25519TestVectors[kEd25519VectorCount - 1][j], "");
  bool longR = false, highS = false;
  for (size_t i = 0; i + 1 < kEcdsaVectorCount; ++i) {
    const auto& v = ECDSATestVectors[i];
    ASSERT_NE(v[1][0], '\0') << i;
    longR |= std::string(v[0]) == "0" && std::string(v[6]).size() == 68;
    highS |= std::string(v[0]) == "0" && std::string(v[5]) == "1" && std::string(v[7]) != ECDSATestVectors[i - 1][7];
  }
  EXPECT_TRUE(longR);
  EXPECT_TRUE(highS);
  for (size_t i = 0; i + 1 < kEd25519VectorCount; ++i) ASSERT_NE(Ed25519TestVectors[i][0][0], '\0') << i;
}

}  // namespace
