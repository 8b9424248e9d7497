#ifndef QUENMOD_SAMPLE_SELF_TESTS_H
#define QUENMOD_SAMPLE_SELF_TESTS_H

// Self-tests of the core's exports, one per family. Each calls the core
// with the stored inputs, compares every result with its stored expectation
// and prints one report line per passed step to standard output (flushed
// before it returns). 0 when every step passed; 1 at the first step that
// failed, which prints nothing.

int TestGenEntropy();
int TestGenBase64();
int TestGenBase58();
int TestGenHashMessage();
int TestGenMnemonic();
int TestGenSignature();
int TestVerifySignature();

#endif
