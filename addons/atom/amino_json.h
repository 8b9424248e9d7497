#ifndef QUENMOD_ATOM_AMINO_JSON_H
#define QUENMOD_ATOM_AMINO_JSON_H

// The JSON documents of a Cosmos transaction: messages, fee, sign document
// and StdTx, built as a small tree whose objects keep the order in which
// their members were added. Two writers:
// - WriteAminoSorted gives the bytes a signer signs, the way the chain
//   rebuilds them: compact, object members sorted by key bytes, strings in
//   raw UTF-8 with the chain's escapes;
// - WriteAminoInOrder gives the transaction text with the members in the
//   order they were added and every apostrophe inside a string escaped, so
//   that the text's quotes can later be turned into apostrophes and back.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class AminoValue {
 public:
  enum class Kind { kText, kObject, kArray };

  static AminoValue Text(std::string text);
  static AminoValue Object();
  static AminoValue Array();

  // Adds a member (objects) or an item (arrays); returns *this.
  AminoValue& Add(std::string key, AminoValue value);
  AminoValue& Push(AminoValue value);

  Kind kind() const { return kind_; }
  const std::string& text() const { return text_; }
  const std::vector<std::pair<std::string, AminoValue>>& members() const { return members_; }
  const std::vector<AminoValue>& items() const { return items_; }

 private:
  explicit AminoValue(Kind kind) : kind_(kind) {}
  Kind kind_;
  std::string text_;
  std::vector<std::pair<std::string, AminoValue>> members_;
  std::vector<AminoValue> items_;
};

std::string WriteAminoSorted(const AminoValue& value);
std::string WriteAminoInOrder(const AminoValue& value);


// The first text (member keys included) of the tree that is not valid
// UTF-8, or null when all are.
const std::string* FindInvalidUtf8(const AminoValue& value);

#endif
