// TreeDump: text form of syntax trees for tests and traces.  Diagnostic only:
// it uses standard containers and is not called on the statement path.
#include "parser/TreeDump.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "parser/NodeKinds.h"

namespace qx {
namespace {

void AppendQuoted(std::string& out, const char* text) {
    out += '"';
    for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

void AppendLine(std::string& out, const SyntaxNode* node, int depth) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    const char* name = NodeKindName(node->kind);
    out += name != nullptr ? std::string(name) : std::to_string(node->kind);
    out += ' ';
    AppendQuoted(out, node->text);
    if (node->aux != 0) out += " aux=" + std::to_string(node->aux);
    if (node->attached != nullptr) out += " [attached]";
    out += '\n';
}

std::string Dump(const SyntaxNode* first, bool withFirstSiblings) {
    std::string out;
    std::vector<std::pair<const SyntaxNode*, int>> pending;  // siblings still to show, with their depth
    const SyntaxNode* node = first;
    int depth = 0;
    while (node != nullptr) {
        AppendLine(out, node, depth);
        const SyntaxNode* after = depth == 0 && !withFirstSiblings ? nullptr : node->next;
        if (node->child != nullptr) {
            if (after != nullptr) pending.emplace_back(after, depth);
            node = node->child;
            ++depth;
        } else if (after != nullptr) {
            node = after;
        } else if (!pending.empty()) {
            node = pending.back().first;
            depth = pending.back().second;
            pending.pop_back();
        } else {
            node = nullptr;
        }
    }
    return out;
}

}  // namespace

std::string DumpTree(const SyntaxNode* root) { return Dump(root, false); }

std::string DumpChain(const SyntaxNode* first) { return Dump(first, true); }

}  // namespace qx
