#include "SymbolResolver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Files are read piecewise and never trusted: every table is checked against the file.
class ElfFile {
public:
    explicit ElfFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ >= 0) size_ = static_cast<std::uint64_t>(lseek(fd_, 0, SEEK_END));
    }
    ~ElfFile() {
        if (fd_ >= 0) close(fd_);
    }
    bool read(std::uint64_t offset, void* out, std::uint64_t size) const {
        if (fd_ < 0 || offset > size_ || size > size_ - offset) return false;
        return pread(fd_, out, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    }
    std::uint64_t size() const { return size_; }

private:
    int fd_;
    std::uint64_t size_ = 0;
};

std::string demangle(const char* name) {
    int status = 0;
    char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && text ? text : name;
    std::free(text);
    return result;
}

std::string hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

SymbolResolver::Module& SymbolResolver::module(const std::string& path) {
    Module& m = modules_[path];
    if (m.loaded) return m;
    m.loaded = true;
    const ElfFile file(path);
    Elf64_Ehdr eh{};
    if (!file.read(0, &eh, sizeof(eh)) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
        eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_phentsize != sizeof(Elf64_Phdr) || eh.e_shentsize != sizeof(Elf64_Shdr))
        return m;
    for (unsigned i = 0; i < eh.e_phnum; ++i) {
        Elf64_Phdr ph{};
        if (!file.read(eh.e_phoff + i * sizeof(ph), &ph, sizeof(ph))) break;
        if (ph.p_type == PT_LOAD) m.segments.push_back({ph.p_offset, ph.p_filesz, ph.p_vaddr});
    }
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    for (unsigned i = 0; i < eh.e_shnum; ++i)
        if (!file.read(eh.e_shoff + i * sizeof(Elf64_Shdr), &sections[i], sizeof(Elf64_Shdr))) return m;
    // The full symbol table when the file has one, else the dynamic one.
    for (const Elf64_Word wanted : {SHT_SYMTAB, SHT_DYNSYM}) {
        for (const Elf64_Shdr& table : sections) {
            if (table.sh_type != wanted || table.sh_entsize != sizeof(Elf64_Sym) || table.sh_link >= sections.size()) continue;
            const Elf64_Shdr& strings = sections[table.sh_link];
            if (strings.sh_size > file.size()) continue;
            std::vector<char> names(strings.sh_size + 1, '\0');
            if (!file.read(strings.sh_offset, names.data(), strings.sh_size)) continue;
            const std::uint64_t count = table.sh_size / sizeof(Elf64_Sym);
            if (table.sh_size > file.size()) continue;
            std::vector<Elf64_Sym> symbols(count);
            if (!file.read(table.sh_offset, symbols.data(), count * sizeof(Elf64_Sym))) continue;
            for (const Elf64_Sym& s : symbols) {
                if (ELF64_ST_TYPE(s.st_info) != STT_FUNC || s.st_value == 0 || s.st_name >= strings.sh_size) continue;
                m.symbols.push_back({s.st_value, s.st_size, names.data() + s.st_name});
            }
        }
        if (!m.symbols.empty()) break;
    }
    std::sort(m.symbols.begin(), m.symbols.end(), [](const Symbol& a, const Symbol& b) { return a.start < b.start; });
    return m;
}

std::string SymbolResolver::describe(std::uint64_t address, bool returnAddress) {
    const std::uint64_t lookup = returnAddress && address > 0 ? address - 1 : address;
    const MapEntry* mapping = findMapping(maps_, lookup);
    if (!mapping || mapping->path.empty()) return "?";
    const std::uint64_t fileOffset = lookup - mapping->start + mapping->offset;
    std::string name = mapping->path;
    const auto slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    std::string text = name + "+" + hex(fileOffset);
    if (mapping->path[0] != '/') return text;
    Module& m = module(mapping->path);
    for (const Segment& seg : m.segments) {
        if (fileOffset < seg.fileOffset || fileOffset >= seg.fileOffset + seg.fileSize) continue;
        const std::uint64_t vaddr = fileOffset - seg.fileOffset + seg.address;
        auto it = std::upper_bound(m.symbols.begin(), m.symbols.end(), vaddr,
                                   [](std::uint64_t v, const Symbol& s) { return v < s.start; });
        while (it != m.symbols.begin()) {
            --it;
            if (vaddr < it->start + std::max<std::uint64_t>(it->size, 1)) {
                const std::uint64_t into = vaddr - it->start + (lookup != address ? 1 : 0);
                return text + " " + demangle(it->name.c_str()) + "+" + hex(into);
            }
            if (it->size != 0) break;
        }
        break;
    }
    return text;
}
