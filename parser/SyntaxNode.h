// Placeholder until the syntax tree lands.
#pragma once
#include "base/ListElement.h"
namespace qx {
class SyntaxNode : public ListElement {};
}  // namespace qx
