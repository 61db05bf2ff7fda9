// Decode tree nodes: building, covering groups with their children's spans,
// printing one node per line, and the decoded-values setting of a build.
#include "core/TreeNode.h"

namespace tessaro {

TTreeNode& TTreeNode::Add(std::string childText, TSpans childSpans) {
  children.push_back(std::make_unique<TTreeNode>(std::move(childText)));
  children.back()->spans = std::move(childSpans);
  return *children.back();
}

namespace {
thread_local bool decodedValuesShown = false;
}  // namespace

bool DecodedValuesShown() { return decodedValuesShown; }

TDecodedValuesScope::TDecodedValuesScope(bool shown) : previous_(decodedValuesShown) { decodedValuesShown = shown; }
TDecodedValuesScope::~TDecodedValuesScope() { decodedValuesShown = previous_; }

size_t TTreeNode::CountDescendants() const {
  size_t count = children.size();
  for (const auto& child : children) count += child->CountDescendants();
  return count;
}

void CoverGroups(TTreeNode& node) {
  if (node.children.empty()) return;
  TSpans all = std::move(node.spans);
  for (const auto& child : node.children) {
    CoverGroups(*child);
    all.insert(all.end(), child->spans.begin(), child->spans.end());
  }
  node.spans = MergeSpans(std::move(all));
}

namespace {

void AppendLines(const TTreeNode& node, int depth, bool positions, TNodeShow show, std::string& out) {
  out.append(static_cast<size_t>(depth) * 2, ' ');
  out += show != nullptr ? show(node) : node.text;
  if (positions && !node.spans.empty()) {
    out += '\t';
    out += SpansText(node.spans);
  }
  out += '\n';
  for (const auto& child : node.children) AppendLines(*child, depth + 1, positions, show, out);
}

}  // namespace

std::string TreeToText(const TTreeNode& node, int depth, bool positions, TNodeShow show) {
  std::string out;
  AppendLines(node, depth, positions, show, out);
  return out;
}

}  // namespace tessaro
