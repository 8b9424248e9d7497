#ifndef TOLVARIS_CRYPTO_BIGNUM_MODEXP_H
#define TOLVARIS_CRYPTO_BIGNUM_MODEXP_H

#include "crypto/bignum/bignum.h"

// r = a^e mod m by a 4-bit sliding window. 0, or -1 when a and e, e and m,
// a and m or r and m are the same record, m is zero, or the intermediate
// products would not fit into a record (m of more than 129 words); r is then
// unchanged. r may be the same record as a or e.
int32_t NXVT_BN_ModExp(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* e, const NXVT_BN* m);

// r with r^2 = a (mod p), p an odd prime. 0 when r^2 mod p equals a, else -1
// (a = 0, a not reduced below p, a non-residue, p even). r may be a.
int32_t NXVT_BN_ModSqrt(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* p);

// V = V_k(1, Q) mod p by the left-to-right Lucas ladder; Qk receives the
// ladder's final Q_l.
// The fourth argument is unused. V and Qk must be distinct records from the
// inputs.
void NXVT_BN_LucasSeq(NXVT_BN* V, NXVT_BN* Qk, const NXVT_BN* p, const NXVT_BN* unused,
                      const NXVT_BN* Q, const NXVT_BN* k);

#endif
