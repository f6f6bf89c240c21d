// MemoBindings: the memo parameters bound with `.memo N FILE` and the
// caller's memo parameter table handed to QXSQLExecReq.  A statement's
// memo references ({OBMemoBinaire('name')}) are numbered from 1 in the
// order they appear; reference n takes the value bound to parameter n.
//
// The table: offset 0 a 16-bit word (the number of entries; the engine
// does not read it), then one 8-byte address per parameter, entry n at
// offset 2 + 8 * (n - 1), for all kMaxParameters parameters (0 for an
// unbound one).  Each bound parameter has a memo value block: 74 header
// bytes (the data offset, 74, at offset 3; the data length at 54; no extra
// header bytes, offset 58 = 0) followed by the file's bytes.  The engine
// may write the data offset of a block again; nothing else is changed.
//
// The bindings own the blocks and the table; addresses stay valid until
// the next Bind or Clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace qxsql {

class MemoBindings {
public:
    static constexpr int kMaxParameters = 256;            // the engine numbers at most 256 references
    static constexpr std::size_t kMaxBytes = 1u << 30;    // largest value accepted

    // Binds parameter `number` (1..kMaxParameters) to the contents of `path`.
    bool BindFile(int number, const std::string& path, std::string& error);
    // Binds parameter `number` to `data`, labelled `label` in List().
    bool BindData(int number, const std::string& label, const std::string& data, std::string& error);
    void Clear();

    bool IsBound(int number) const;
    // Address of the parameter table for QXSQLExecReq, 0 when nothing is bound.
    std::uintptr_t TableAddress() const;
    // One line per bound parameter: "N: label (B bytes)".
    void List(std::ostream& out) const;

private:
    struct Binding {
        std::string label;
        std::unique_ptr<unsigned char[]> block;  // header and data; owned
    };

    void RebuildTable();

    std::vector<Binding> bindings_;               // index n - 1; empty label and null block: unbound
    std::vector<unsigned char> table_;            // empty when nothing is bound
};

}  // namespace qxsql
