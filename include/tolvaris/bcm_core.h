#ifndef TOLVARIS_BCM_CORE_H
#define TOLVARIS_BCM_CORE_H

#include <stdint.h>

#include "tolvaris/export.h"

/* The error trail of the last framed export called on this thread:
 * "[name][locations][messages]". Each thread has its own trail; the text
 * belongs to the library and stays valid until this thread's next call. */
TOLVARIS_API char* BCMGetLastErr(void);
/* Constant version text. */
TOLVARIS_API const char* BCMGetVer(void);
/* 1 when the library was built for a little-endian host, else 0. */
TOLVARIS_API int BCMGetCurrentSystemEndian(void);
/* Reverses the first len bytes of buf in place. */
TOLVARIS_API int BCMSwapBytes(unsigned char* buf, int len);
/* Digest of a message; a null output asks for the digest length. */
TOLVARIS_API int BCMGenHashMessage(uint32_t hashId, const unsigned char* msg, uint32_t msgLen,
                                   unsigned char* out, int* outLen);

#endif
