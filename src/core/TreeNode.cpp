#include "core/TreeNode.h"

namespace tessaro {

TTreeNode& TTreeNode::Add(std::string childText) {
  children.push_back(std::make_unique<TTreeNode>(std::move(childText)));
  return *children.back();
}

size_t TTreeNode::CountDescendants() const {
  size_t count = children.size();
  for (const auto& child : children) count += child->CountDescendants();
  return count;
}

namespace {

void AppendLines(const TTreeNode& node, int depth, std::string& out) {
  out.append(static_cast<size_t>(depth) * 2, ' ');
  out += node.text;
  out += '\n';
  for (const auto& child : node.children) AppendLines(*child, depth + 1, out);
}

}  // namespace

std::string TreeToText(const TTreeNode& node, int depth) {
  std::string out;
  AppendLines(node, depth, out);
  return out;
}

}  // namespace tessaro
