// MemoBindings: memo value blocks and the parameter table.
#include "shell/MemoBindings.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "obhost.h"
#include "shell/Language.h"

namespace qxsql {

bool MemoBindings::BindFile(int number, const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = Say("cannot open '%1': %2", "impossible d'ouvrir « %1 » : %2", {path, std::strerror(errno)});
        return false;
    }
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxBytes) {
        error = Say("'%1' is too large for a memo (at most 1 GB)", "« %1 » est trop grand pour un mémo (1 Go au plus)", {path});
        return false;
    }
    file.seekg(0, std::ios::beg);
    std::string data(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !file.read(data.data(), size)) {
        error = Say("cannot read '%1'", "impossible de lire « %1 »", {path});
        return false;
    }
    return BindData(number, path, data, error);
}

bool MemoBindings::BindData(int number, const std::string& label, const std::string& data, std::string& error) {
    if (number < 1 || number > kMaxParameters) {
        error = Say("memo parameter numbers go from 1 to %1", "les paramètres de mémo vont de 1 à %1",
                    {std::to_string(kMaxParameters)});
        return false;
    }
    if (data.size() > kMaxBytes) {
        error = Say("memo value too large (at most 1 GB)", "valeur de mémo trop grande (1 Go au plus)");
        return false;
    }
    std::size_t total = OBHOST_MEMO_HEADER_SIZE + data.size();
    std::unique_ptr<unsigned char[]> block(new unsigned char[total]());
    const std::uint16_t dataOffset = OBHOST_MEMO_HEADER_SIZE;
    const auto dataLength = static_cast<std::uint32_t>(data.size());
    std::memcpy(block.get() + offsetof(MemoValueBlock, dataOffset), &dataOffset, sizeof dataOffset);
    std::memcpy(block.get() + offsetof(MemoValueBlock, dataLength), &dataLength, sizeof dataLength);
    block[offsetof(MemoValueBlock, headerExtra)] = 0;
    if (!data.empty()) std::memcpy(block.get() + OBHOST_MEMO_HEADER_SIZE, data.data(), data.size());

    if (bindings_.size() < static_cast<std::size_t>(number)) bindings_.resize(static_cast<std::size_t>(number));
    bindings_[static_cast<std::size_t>(number - 1)] = Binding{label, std::move(block)};
    RebuildTable();
    return true;
}

void MemoBindings::Clear() {
    bindings_.clear();
    table_.clear();
}

bool MemoBindings::IsBound(int number) const {
    return number >= 1 && static_cast<std::size_t>(number) <= bindings_.size() &&
           bindings_[static_cast<std::size_t>(number - 1)].block != nullptr;
}

std::uintptr_t MemoBindings::TableAddress() const {
    return table_.empty() ? 0 : reinterpret_cast<std::uintptr_t>(table_.data());
}

void MemoBindings::RebuildTable() {
    table_.assign(offsetof(MemoParameterTable, entries) + 8 * static_cast<std::size_t>(kMaxParameters), 0);
    const auto count = static_cast<std::uint16_t>(kMaxParameters);
    std::memcpy(table_.data(), &count, sizeof count);
    for (std::size_t i = 0; i < bindings_.size(); ++i) {
        auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(bindings_[i].block.get()));
        std::memcpy(table_.data() + offsetof(MemoParameterTable, entries) + 8 * i, &address, sizeof address);
    }
}

void MemoBindings::List(std::ostream& out) const {
    for (std::size_t i = 0; i < bindings_.size(); ++i) {
        if (bindings_[i].block == nullptr) continue;
        std::uint32_t length;
        std::memcpy(&length, bindings_[i].block.get() + offsetof(MemoValueBlock, dataLength), sizeof length);
        out << (i + 1) << ": " << bindings_[i].label << " (" << length
            << Say(length == 1 ? " byte)" : " bytes)", length <= 1 ? " octet)" : " octets)") << '\n';
    }
}

}  // namespace qxsql
