// What the window's Copy Value takes from a decode tree node: the value after
// the node's label, without the field's bit count.
#pragma once

#include <string>

namespace tessaro {

// The character at which a node text's value starts: after the label's " : ",
// or 0 for a text without a label (a group, a dump line).
size_t NodeValueStart(const std::string& text);
// "0x1000" of "PID ... : 0x1000 (13 bits)"; a text without a label whole; a
// field shown without a value keeps its suffix ("(2 bits)").
std::string NodeValue(const std::string& text);

}  // namespace tessaro
