"""Strict decoder of signed legacy Ethereum transactions, for the eth add-on
tests. Reads one "0x" hex transaction per line and writes one JSON answer per
line: {"ok": true, "from", "chainid", "nonce", "gasprice", "gaslimit", "to",
"value", "data"}, or {"ok": false, "why"} when a node would refuse it: a
non-canonical RLP length or integer (leading zero bytes), trailing bytes, a
recipient other than 20 bytes, an S above n/2, or a signature that recovers
no key. The sender is recovered from (v, r, s) here, with the curve
arithmetic of python3-ecdsa and Keccak-256 of python3-pycryptodome."""
import json
import sys

import rlp
from rlp.sedes import Binary, CountableList, big_endian_int, binary
from Cryptodome.Hash import keccak
from ecdsa import SECP256k1
from ecdsa.ellipticcurve import Point

FIELDS = [big_endian_int, big_endian_int, big_endian_int, Binary.fixed_length(20), big_endian_int, binary,
          big_endian_int, big_endian_int, big_endian_int]
CURVE = SECP256k1.curve
G = SECP256k1.generator
N = SECP256k1.order
P = CURVE.p()


def keccak256(data):
    return keccak.new(digest_bits=256, data=data).digest()


def recover(digest, r, s, parity):
    if not (1 <= r < N and 1 <= s < N):
        raise ValueError("r or s out of range")
    y2 = (pow(r, 3, P) + 7) % P
    y = pow(y2, (P + 1) // 4, P)
    if y * y % P != y2:
        raise ValueError("r is no x coordinate")
    if y % 2 != parity:
        y = P - y
    point_r = Point(CURVE, r, y)
    e = int.from_bytes(digest, "big")
    q = (point_r * s + G * ((-e) % N)) * pow(r, -1, N)
    return int(q.x()).to_bytes(32, "big") + int(q.y()).to_bytes(32, "big")


def decode(raw):
    items = rlp.decode(raw, strict=True)
    if not isinstance(items, list) or len(items) != 9:
        raise ValueError("not a list of nine items")
    nonce, gasprice, gaslimit, to, value, data, v, r, s = [sedes.deserialize(item) for sedes, item in zip(FIELDS, items)]
    if v in (27, 28):
        chainid, parity = 0, v - 27
        signed = items[:6]
    elif v >= 37:
        chainid, parity = (v - 35) // 2, (v - 35) % 2
        signed = items[:6] + [big_endian_int.serialize(chainid), b"", b""]
    else:
        raise ValueError("v is %d" % v)
    if s > N // 2:
        raise ValueError("high S")
    pub = recover(keccak256(rlp.encode(signed)), r, s, parity)
    return {"ok": True, "from": "0x" + keccak256(pub)[-20:].hex(), "chainid": chainid, "nonce": str(nonce),
            "gasprice": str(gasprice), "gaslimit": str(gaslimit), "to": "0x" + to.hex(), "value": str(value),
            "data": "0x" + data.hex()}


for line in sys.stdin:
    line = line.strip()
    if not line:
        continue
    try:
        answer = decode(bytes.fromhex(line[2:] if line.startswith("0x") else line))
    except Exception as e:  # every refusal is an answer, not a crash
        answer = {"ok": False, "why": "%s: %s" % (type(e).__name__, e)}
    print(json.dumps(answer))
