// The decode tree: nodes that carry a text and where in the file the bytes
// they show lie, built by the decoders and shown by the window (as a tree
// widget) and the command line (indented lines).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/FieldPositions.h"

namespace tessaro {

// A node's text with the spans of the field or fields it shows.
struct TNodeText {
  std::string text;
  TSpans spans;
  bool utf8 = false;  // as TTreeNode::utf8

  // Adds the spans of the fields a computed text comes from.
  template <class... Fields>
  TNodeText&& From(const Fields&... fields) && {
    (Take(SpansOf(&fields)), ...);
    return std::move(*this);
  }

 private:
  void Take(const TSpans& more) { spans.insert(spans.end(), more.begin(), more.end()); }
};

struct TTreeNode {
  std::string text;
  TSpans spans;
  // The text holds decoded values and is UTF-8 (its raw part is ASCII);
  // otherwise each byte is one character, as the dump lines show bytes.
  bool utf8 = false;
  std::vector<std::unique_ptr<TTreeNode>> children;

  TTreeNode() = default;
  explicit TTreeNode(std::string nodeText) : text(std::move(nodeText)) {}

  // Appends a child with the given text (and spans) and returns it.
  TTreeNode& Add(std::string childText, TSpans childSpans = {});
  TTreeNode& Add(TNodeText childText) {
    TTreeNode& child = Add(std::move(childText.text), std::move(childText.spans));
    child.utf8 = childText.utf8;
    return child;
  }
  void Clear() { children.clear(); }
  // Number of nodes below this one (all depths).
  size_t CountDescendants() const;
};

// Gives every node with children the spans that cover its own and all of its
// children's, in file order.
void CoverGroups(TTreeNode& node);

// Whether the nodes being built show decoded values: a field's meaning in
// brackets after its raw value, a text's decoded characters as a node after
// its dump lines (View > Decoded Values). Off unless a scope turns it on, so
// every text is the raw one by default.
bool DecodedValuesShown();

// Sets whether decoded values are shown for its lifetime; scopes nest.
class TDecodedValuesScope {
 public:
  explicit TDecodedValuesScope(bool shown);
  ~TDecodedValuesScope();
  TDecodedValuesScope(const TDecodedValuesScope&) = delete;
  TDecodedValuesScope& operator=(const TDecodedValuesScope&) = delete;

 private:
  bool previous_;
};

// One node per line, two blanks of indent per depth; node is at depth 0.
// With positions, a node with spans is followed by a TAB and their texts.
// show, when given, is the text written for a node (a terminal's, say).
using TNodeShow = std::string (*)(const TTreeNode& node);
std::string TreeToText(const TTreeNode& node, int depth = 0, bool positions = false, TNodeShow show = nullptr);

}  // namespace tessaro
