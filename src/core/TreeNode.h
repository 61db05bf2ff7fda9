// The decode tree: text-only nodes, built by the decoders and shown by the
// window (as a tree widget) and the command line (indented lines).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tessaro {

struct TTreeNode {
  std::string text;
  std::vector<std::unique_ptr<TTreeNode>> children;

  TTreeNode() = default;
  explicit TTreeNode(std::string nodeText) : text(std::move(nodeText)) {}

  // Appends a child with the given text and returns it.
  TTreeNode& Add(std::string childText);
  void Clear() { children.clear(); }
  // Number of nodes below this one (all depths).
  size_t CountDescendants() const;
};

// One node per line, two blanks of indent per depth; node is at depth 0.
std::string TreeToText(const TTreeNode& node, int depth = 0);

}  // namespace tessaro
