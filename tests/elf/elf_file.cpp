#include "tests/elf/elf_file.hpp"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace hmi::elf {

namespace {

// The record types of one ELF class.
struct Class32 {
    using Ehdr = Elf32_Ehdr;
    using Shdr = Elf32_Shdr;
    using Phdr = Elf32_Phdr;
    using Sym = Elf32_Sym;
    using Dyn = Elf32_Dyn;
    using Rel = Elf32_Rel;
    using Rela = Elf32_Rela;
    static uint32_t sym(uint64_t info) { return ELF32_R_SYM(info); }
    static uint32_t type(uint64_t info) { return ELF32_R_TYPE(info); }
};
struct Class64 {
    using Ehdr = Elf64_Ehdr;
    using Shdr = Elf64_Shdr;
    using Phdr = Elf64_Phdr;
    using Sym = Elf64_Sym;
    using Dyn = Elf64_Dyn;
    using Rel = Elf64_Rel;
    using Rela = Elf64_Rela;
    static uint32_t sym(uint64_t info) { return ELF64_R_SYM(info); }
    static uint32_t type(uint64_t info) { return ELF64_R_TYPE(info); }
};

// Relocations whose value is the load base plus the addend, per machine.
bool is_relative(uint16_t machine, uint32_t type) {
    switch (machine) {
        case EM_X86_64:
            return type == R_X86_64_RELATIVE || type == R_X86_64_IRELATIVE;
        case EM_386:
            return type == R_386_RELATIVE || type == R_386_IRELATIVE;
        case EM_ARM:
            return type == R_ARM_RELATIVE || type == R_ARM_IRELATIVE;
        case EM_AARCH64:
            return type == R_AARCH64_RELATIVE || type == R_AARCH64_IRELATIVE;
        default:
            return false;
    }
}

constexpr uint32_t kPackedRelocations = 19;  // SHT_RELR

}  // namespace

bool Symbol::defined() const {
    return section != SHN_UNDEF;
}

bool Symbol::exported() const {
    return defined() && (bind == STB_GLOBAL || bind == STB_WEAK || bind == STB_GNU_UNIQUE) &&
           visibility == STV_DEFAULT;
}

template <class T>
T File::read(uint64_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) {
        throw std::runtime_error(path_ + ": truncated at offset " + std::to_string(offset));
    }
    T value;
    std::memcpy(&value, bytes_.data() + offset, sizeof value);
    return value;
}

std::string File::string_at(const Section& strings, uint64_t offset) const {
    if (offset >= strings.size) throw std::runtime_error(path_ + ": name outside its table");
    const char* begin = reinterpret_cast<const char*>(bytes_.data() + strings.offset + offset);
    return std::string(begin, strnlen(begin, strings.size - offset));
}

namespace {

template <class C>
void read_headers(const std::vector<unsigned char>& bytes, const std::string& path,
                  uint16_t& machine, std::vector<Section>& sections,
                  std::vector<Segment>& segments) {
    auto get = [&](uint64_t offset, auto& out) {
        if (offset > bytes.size() || bytes.size() - offset < sizeof out) {
            throw std::runtime_error(path + ": truncated headers");
        }
        std::memcpy(&out, bytes.data() + offset, sizeof out);
    };
    typename C::Ehdr header;
    get(0, header);
    machine = header.e_machine;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        typename C::Phdr p;
        get(header.e_phoff + uint64_t{i} * header.e_phentsize, p);
        segments.push_back({p.p_type, p.p_flags, p.p_vaddr, p.p_memsz});
    }
    std::vector<typename C::Shdr> raw(header.e_shnum);
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        get(header.e_shoff + uint64_t{i} * header.e_shentsize, raw[i]);
    }
    if (header.e_shstrndx >= raw.size()) throw std::runtime_error(path + ": no section names");
    const auto& names = raw[header.e_shstrndx];
    for (const auto& s : raw) {
        if (s.sh_name >= names.sh_size || names.sh_offset + names.sh_size > bytes.size()) {
            throw std::runtime_error(path + ": bad section name");
        }
        const char* name =
            reinterpret_cast<const char*>(bytes.data() + names.sh_offset + s.sh_name);
        sections.push_back({std::string(name, strnlen(name, names.sh_size - s.sh_name)), s.sh_type,
                            s.sh_flags, s.sh_addr, s.sh_offset, s.sh_size, s.sh_link,
                            s.sh_entsize});
    }
}

}  // namespace

File File::load(const std::string& path) {
    File file;
    file.path_ = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot be opened");
    file.bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto& b = file.bytes_;
    if (b.size() < EI_NIDENT || std::memcmp(b.data(), ELFMAG, SELFMAG) != 0) {
        throw std::runtime_error(path + ": not an ELF file");
    }
    if (b[EI_DATA] != ELFDATA2LSB) throw std::runtime_error(path + ": not little endian");
    if (b[EI_CLASS] == ELFCLASS64) {
        file.is64_ = true;
        read_headers<Class64>(b, path, file.machine_, file.sections_, file.segments_);
    } else if (b[EI_CLASS] == ELFCLASS32) {
        read_headers<Class32>(b, path, file.machine_, file.sections_, file.segments_);
    } else {
        throw std::runtime_error(path + ": unknown ELF class");
    }
    for (const Section& s : file.sections_) {
        if (s.type == SHT_DYNSYM) file.dynsym_ = file.symbols(s);
        if (s.type == SHT_SYMTAB) file.symtab_ = file.symbols(s);
    }
    file.read_dynamic();
    file.read_relocations();
    return file;
}

std::vector<Symbol> File::symbols(const Section& table) const {
    if (table.link >= sections_.size()) throw std::runtime_error(path_ + ": symbols without names");
    const Section& names = sections_[table.link];
    std::vector<Symbol> out;
    uint64_t entry = is64_ ? sizeof(Elf64_Sym) : sizeof(Elf32_Sym);
    for (uint64_t at = table.offset; at + entry <= table.offset + table.size; at += entry) {
        Symbol s;
        if (is64_) {
            auto raw = read<Elf64_Sym>(at);
            s = {string_at(names, raw.st_name),
                 raw.st_value,
                 raw.st_size,
                 ELF64_ST_TYPE(raw.st_info),
                 ELF64_ST_BIND(raw.st_info),
                 ELF64_ST_VISIBILITY(raw.st_other),
                 raw.st_shndx};
        } else {
            auto raw = read<Elf32_Sym>(at);
            s = {string_at(names, raw.st_name),
                 raw.st_value,
                 raw.st_size,
                 ELF32_ST_TYPE(raw.st_info),
                 ELF32_ST_BIND(raw.st_info),
                 ELF32_ST_VISIBILITY(raw.st_other),
                 raw.st_shndx};
        }
        out.push_back(std::move(s));
    }
    return out;
}

void File::read_dynamic() {
    for (const Section& s : sections_) {
        if (s.type != SHT_DYNAMIC) continue;
        const Section& names = sections_.at(s.link);
        uint64_t entry = is64_ ? sizeof(Elf64_Dyn) : sizeof(Elf32_Dyn);
        for (uint64_t at = s.offset; at + entry <= s.offset + s.size; at += entry) {
            int64_t tag;
            uint64_t value;
            if (is64_) {
                auto d = read<Elf64_Dyn>(at);
                tag = d.d_tag;
                value = d.d_un.d_val;
            } else {
                auto d = read<Elf32_Dyn>(at);
                tag = d.d_tag;
                value = d.d_un.d_val;
            }
            if (tag == DT_NULL) break;
            if (tag == DT_NEEDED) needed_.push_back(string_at(names, value));
            if (tag == DT_SONAME) soname_ = string_at(names, value);
            dynamic_[tag] = value;
        }
    }
}

void File::read_relocations() {
    for (const Section& s : sections_) {
        if (s.type == kPackedRelocations) {
            throw std::runtime_error(path_ + ": packed relative relocations are not read here");
        }
        if ((s.type != SHT_REL && s.type != SHT_RELA) || (s.flags & SHF_ALLOC) == 0) continue;
        const std::vector<Symbol>& symbols = dynsym_;
        bool with_addend = s.type == SHT_RELA;
        uint64_t entry = is64_ ? (with_addend ? sizeof(Elf64_Rela) : sizeof(Elf64_Rel))
                               : (with_addend ? sizeof(Elf32_Rela) : sizeof(Elf32_Rel));
        for (uint64_t at = s.offset; at + entry <= s.offset + s.size; at += entry) {
            uint64_t where, info;
            std::optional<int64_t> addend;
            if (is64_ && with_addend) {
                auto r = read<Elf64_Rela>(at);
                where = r.r_offset, info = r.r_info, addend = r.r_addend;
            } else if (is64_) {
                auto r = read<Elf64_Rel>(at);
                where = r.r_offset, info = r.r_info;
            } else if (with_addend) {
                auto r = read<Elf32_Rela>(at);
                where = r.r_offset, info = r.r_info, addend = r.r_addend;
            } else {
                auto r = read<Elf32_Rel>(at);
                where = r.r_offset, info = r.r_info;
            }
            uint32_t type = is64_ ? Class64::type(info) : Class32::type(info);
            uint32_t index = is64_ ? Class64::sym(info) : Class32::sym(info);
            // REL keeps the addend in the word it relocates.
            uint64_t base = addend ? static_cast<uint64_t>(*addend) : raw_word(where);
            uint64_t value;
            if (is_relative(machine_, type)) {
                value = base;
            } else if (index != 0 && index < symbols.size() && symbols[index].defined()) {
                value = symbols[index].value + (addend ? base : 0);
            } else {
                value = kExternal;
            }
            if (!is64_ && value != kExternal) value &= 0xFFFFFFFFu;
            relocated_[where] = value;
        }
    }
}

uint64_t File::raw_word(uint64_t address) const {
    const Section* s = section_at(address);
    if (s == nullptr || s->type == SHT_NOBITS) return 0;
    uint64_t offset = s->offset + (address - s->addr);
    return is64_ ? read<uint64_t>(offset) : read<uint32_t>(offset);
}

std::optional<uint64_t> File::word(uint64_t address) const {
    auto r = relocated_.find(address);
    if (r != relocated_.end()) return r->second;
    if (section_at(address) == nullptr) return std::nullopt;
    return raw_word(address);
}

std::optional<std::string> File::text(uint64_t address) const {
    const Section* s = section_at(address);
    if (s == nullptr || s->type == SHT_NOBITS) return std::nullopt;
    return string_at(*s, address - s->addr);
}

const Section* File::section(const std::string& name) const {
    for (const Section& s : sections_) {
        if (s.name == name) return &s;
    }
    return nullptr;
}

const Section* File::section_at(uint64_t address) const {
    for (const Section& s : sections_) {
        if ((s.flags & SHF_ALLOC) != 0 && s.contains(address)) return &s;
    }
    return nullptr;
}

const Symbol* File::dynamic_symbol(const std::string& name) const {
    for (const Symbol& s : dynsym_) {
        if (s.name == name && s.defined()) return &s;
    }
    return nullptr;
}

std::optional<uint64_t> File::dynamic(int64_t tag) const {
    auto d = dynamic_.find(tag);
    if (d == dynamic_.end()) return std::nullopt;
    return d->second;
}

std::string File::architecture() const {
    switch (machine_) {
        case EM_X86_64:
            return "x86-64";
        case EM_386:
            return "x86";
        case EM_ARM:
            return "arm";
        case EM_AARCH64:
            return "aarch64";
        default:
            return "machine " + std::to_string(machine_);
    }
}

}  // namespace hmi::elf
