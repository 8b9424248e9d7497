// Natives of HD keys: master node, leaf of a BIP44 path, child derivation,
// public key of a private key. Every curve call works on secp256k1.
#include <com_morvane_keystrand_JniWrapper.h>

#include "jni/jni_frame.h"
#include "tolvaris/bcm_hd.h"

namespace {

constexpr int kLeafNode = 1003;
constexpr int kChildKey = 1004;
constexpr int kMasterNode = 1009;
constexpr int kPublicKey = 1014;

constexpr uint32_t kSecp256k1 = 0;
constexpr uint32_t kPurposeBip44 = 44;
constexpr int kPublicKeyCapacity = 66;

}  // namespace

extern "C" {

JNIEXPORT jobject JNICALL Java_com_morvane_keystrand_JniWrapper_GenLeafNode(JNIEnv* env, jclass, jint coinType,
                                                                          jbyteArray seed, jint index) {
  return RunNative<jobject>(env, kLeafNode, [&](JniFrame& f) -> jobject {
    SecureBytes in;
    NativeKeyPair leaf;
    if (!f.Bytes(seed, in)) return nullptr;
    if (!f.Call("Leaf node generating failed.", [&] {
          return BCMGenPathLeafNode(kSecp256k1, InPtr(in), static_cast<uint32_t>(in.size()), kPurposeBip44,
                                    static_cast<uint32_t>(coinType), 0, 0, static_cast<uint32_t>(index), leaf.pri,
                                    &leaf.priLen, leaf.pub, &leaf.pubLen, leaf.chain, &leaf.chainLen);
        }))
      return nullptr;
    return f.NewKeyPair(leaf);
  });
}

JNIEXPORT jobject JNICALL Java_com_morvane_keystrand_JniWrapper_GenCKD(JNIEnv* env, jclass, jobject parent,
                                                                     jint index) {
  return RunNative<jobject>(env, kChildKey, [&](JniFrame& f) -> jobject {
    NativeKeyPair p, child;
    if (!f.NotNull(parent)) return nullptr;
    if (GetHDKeyPair(env, parent, p) != 0) {
      if (f.JavaOk()) f.Fail(kKeyPairIn);
      return nullptr;
    }
    const auto i = static_cast<uint32_t>(index);
    if (p.priLen != 0) {
      if (!f.Call("Childkey derivation failed.", [&] {
            return BCMGenCKD(kSecp256k1, p.pri, p.priLen, p.pub, p.pubLen, p.chain, p.chainLen, i, child.pri,
                             &child.priLen, child.pub, &child.pubLen, child.chain, &child.chainLen);
          }))
        return nullptr;
    } else {
      child.priLen = 0;
      if (!f.Call("Childkey derivation by public key failed.", [&] {
            return BCMGenCKDPub(kSecp256k1, p.pub, p.pubLen, p.chain, p.chainLen, i, child.pub, &child.pubLen,
                                child.chain, &child.chainLen);
          }))
        return nullptr;
    }
    return f.NewKeyPair(child);
  });
}

JNIEXPORT jobject JNICALL Java_com_morvane_keystrand_JniWrapper_GenMasterNode(JNIEnv* env, jclass, jbyteArray seed) {
  return RunNative<jobject>(env, kMasterNode, [&](JniFrame& f) -> jobject {
    SecureBytes in;
    NativeKeyPair master;
    if (!f.Bytes(seed, in)) return nullptr;
    if (!f.Call("Master node generating by seed failed.", [&] {
          return BCMGenMasterNode(kSecp256k1, InPtr(in), static_cast<uint32_t>(in.size()), master.pri,
                                  &master.priLen, master.pub, &master.pubLen, master.chain, &master.chainLen);
        }))
      return nullptr;
    return f.NewKeyPair(master);
  });
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenPubkeyFromPrikey(JNIEnv* env, jclass,
                                                                                     jbyteArray privateKey) {
  return RunNative<jbyteArray>(env, kPublicKey, [&](JniFrame& f) -> jbyteArray {
    SecureBytes pri;
    if (!f.Bytes(privateKey, pri, kBytesIn)) return nullptr;
    unsigned char pub[kPublicKeyCapacity] = {0};
    int len = kPublicKeyCapacity;
    if (!f.Call("Public key derivation from private key failed.", [&] {
          return BCMGenPubkeyFromPriKey(kSecp256k1, InPtr(pri), static_cast<int>(pri.size()), pub, &len);
        }))
      return nullptr;
    return f.NewBytes(pub, static_cast<size_t>(len));
  });
}

}  // extern "C"
