// The code-to-class table of the Java bindings and the text of their
// exceptions.
#include "jni/jni_exceptions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kPackage = "com/morvane/keystrand/exceptions/";

TEST(JniExceptions, ClassOfEveryCode) {
  const struct {
    int code;
    std::string cls;
  } cases[] = {
      {1001, kPackage + "GenerateMnemonicFailException"},
      {1028, kPackage + "GenerateMnemonicFailException"},
      {1029, kPackage + "GenerateMnemonicFailException"},
      {1002, kPackage + "ConvertMnemonicToSeedFailException"},
      {1003, kPackage + "KeyDerivationFailException"},
      {1004, kPackage + "KeyDerivationFailException"},
      {1014, kPackage + "KeyDerivationFailException"},
      {1006, kPackage + "GenerateAddressFailException"},
      {1007, kPackage + "GenerateTransactionFailException"},
      {1009, kPackage + "GenerateMasterNodeFailException"},
      {1011, kPackage + "MessageDigestFailException"},
      {1012, kPackage + "EncryptionErrorException"},
      {1017, kPackage + "EncryptionErrorException"},
      {1019, kPackage + "EncryptionErrorException"},
      {1013, kPackage + "DecryptionErrorException"},
      {1018, kPackage + "DecryptionErrorException"},
      {1020, kPackage + "DecryptionErrorException"},
      {1021, kPackage + "GenerateEntropyFailException"},
      {1022, kPackage + "InvalidMnemonicException"},
      {1023, kPackage + "MultisigErrorException"},
      {1024, kPackage + "MultisigErrorException"},
      {1025, kPackage + "MultisigErrorException"},
      {1026, kPackage + "MultisigErrorException"},
      {1031, kPackage + "MultisigErrorException"},
      {1032, kPackage + "MultisigErrorException"},
      {1039, kPackage + "RunModuleException"},
      {1, "java/lang/Exception"},
      // Codes without a class of their own, the neighbours of the ranges
      // above included.
      {0, "java/lang/Error"},
      {-1, "java/lang/Error"},
      {2, "java/lang/Error"},
      {1000, "java/lang/Error"},
      {1005, "java/lang/Error"},
      {1008, "java/lang/Error"},
      {1010, "java/lang/Error"},
      {1015, "java/lang/Error"},
      {1016, "java/lang/Error"},
      {1027, "java/lang/Error"},
      {1030, "java/lang/Error"},
      {1033, "java/lang/Error"},
      {1034, "java/lang/Error"},
      {1038, "java/lang/Error"},
      {1040, "java/lang/Error"},
      {2001, "java/lang/Error"},
  };
  for (const auto& c : cases) EXPECT_EQ(JniExceptionClass(c.code), c.cls) << c.code;
}

TEST(JniExceptions, MessageText) {
  EXPECT_EQ(std::string(JniExceptionMessage("Base64 decoding failed.", "[BCMGenBase64Decode][a:1][(b)]")),
            "\nOstrel Exception => Base64 decoding failed.\n[BCMGenBase64Decode][a:1][(b)]");
  EXPECT_EQ(std::string(JniExceptionMessage("", "")), "\nOstrel Exception => \n");
}

}  // namespace
