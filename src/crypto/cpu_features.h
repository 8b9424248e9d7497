#ifndef TOLVARIS_CRYPTO_CPU_FEATURES_H
#define TOLVARIS_CRYPTO_CPU_FEATURES_H

// The processor extensions the symmetric and curve code can use, read once with cpuid.
// Every routine that has a hardware path asks here before each operation;
// the portable code is always built and is what runs when an extension is
// missing (or when a test forces it).
struct NXVT_CPU_FEATURES {
  bool sse2;    // 128-bit integer vectors (every x86-64 processor)
  bool aesni;   // AES-NI (with SSE4.1 for the lane moves)
  bool pclmul;  // carry-less multiplication, for GHASH
  bool shani;   // SHA-256 rounds
  bool avx2;    // 256-bit integer vectors (OS saves the YMM state)
  bool ssse3;   // byte shuffles
  bool mulx;    // MULX (BMI2) with the two carry chains ADCX/ADOX (ADX)
  bool bmi2;    // BMI1 and BMI2: ANDN and the flag-free rotation RORX
  bool avx512;  // AVX-512 F and VL (OS saves the ZMM state): rotations and
                // three-input logic on 128- and 256-bit vectors

  // The vector forms of AES and carry-less multiplication.
  bool vaes;     // VAES: AES rounds on every 128-bit lane of a 256-bit vector (with AVX2)
  bool vpclmul;  // VPCLMULQDQ: carry-less products on every lane (with AVX2)
  bool vaes512;  // both on 512-bit vectors: AVX-512 F, BW and VL, ZMM state saved by the OS
};

// The extensions in use: what the processor has, or none while the portable
// path is forced. The reference stays valid (and its value unchanged) for
// the life of the process; a switch turned on or off selects another one.
const NXVT_CPU_FEATURES& NXVT_CpuFeatures();

// Test switch: while on, every dispatching routine takes its portable path,
// so a machine with the extensions still runs the fallback on the same
// inputs. Only tests call it; the library reads no environment.
void NXVT_ForcePortableForTest(bool on);

// Test switch: while on, only SSE2 and SSSE3 are reported (when the
// processor has them), as on a processor without AES-NI that has byte
// shuffles. Either switch turned off returns to what the processor has.
void NXVT_ForceSsse3OnlyForTest(bool on);

// Test switch: while on, everything but AVX-512 is reported, as on a
// processor with AVX2 alone. Turned off (or any switch turned off), the
// processor's extensions are back.
void NXVT_ForceNoAvx512ForTest(bool on);

// Test switch: while on, VAES and VPCLMULQDQ are hidden and the rest is
// reported as the processor has it, so AES and GHASH take their AES-NI and
// PCLMULQDQ code. Any switch turned off returns to what the processor has.
void NXVT_ForceNoVectorAesForTest(bool on);

// Test switch: while on, AVX-512 and the vector AES and carry-less
// extensions are hidden together, as on a processor with AES-NI,
// PCLMULQDQ and AVX2 alone. Any switch turned off returns to what the
// processor has.
void NXVT_ForceAesNiAvx2ForTest(bool on);

// Test switch: while on, AVX2 is hidden as well, with AVX-512 and the
// vector AES and carry-less extensions, as on a processor with AES-NI and
// PCLMULQDQ before AVX2: the AES-NI code then runs in its SSE encoding.
// Any switch turned off returns to what the processor has.
void NXVT_ForceAesNiSseForTest(bool on);

#endif
