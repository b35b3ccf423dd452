// A small reader of ELF shared libraries, 32- and 64-bit little endian: what the
// binary shape checks need and no more (sections, symbols, the dynamic section, and
// words of the loaded image with their dynamic relocations applied).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hmi::elf {

struct Section {
    std::string name;
    uint32_t type = 0;
    uint64_t flags = 0;
    uint64_t addr = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint32_t link = 0;
    uint64_t entsize = 0;

    bool contains(uint64_t address) const { return address >= addr && address - addr < size; }
};

struct Symbol {
    std::string name;
    uint64_t value = 0;
    uint64_t size = 0;
    unsigned type = 0;        // STT_*
    unsigned bind = 0;        // STB_*
    unsigned visibility = 0;  // STV_*
    uint16_t section = 0;     // SHN_UNDEF when undefined

    bool defined() const;
    bool exported() const;  // defined, global or weak, default visibility
};

struct Segment {
    uint32_t type = 0;
    uint32_t flags = 0;
    uint64_t vaddr = 0;
    uint64_t memsz = 0;

    bool contains(uint64_t address, uint64_t size) const {
        return address >= vaddr && address + size <= vaddr + memsz;
    }
};

class File {
  public:
    // Throws std::runtime_error naming the file and what is wrong with it.
    static File load(const std::string& path);

    const std::string& path() const { return path_; }
    bool is64() const { return is64_; }
    unsigned pointer_size() const { return is64_ ? 8 : 4; }
    uint16_t machine() const { return machine_; }
    std::string architecture() const;  // "x86-64", "arm", ...

    const std::vector<Section>& sections() const { return sections_; }
    const Section* section(const std::string& name) const;
    const Section* section_at(uint64_t address) const;  // the allocated section holding it
    const std::vector<Segment>& segments() const { return segments_; }

    const std::vector<Symbol>& dynamic_symbols() const { return dynsym_; }
    const std::vector<Symbol>& static_symbols() const { return symtab_; }  // empty when stripped
    const Symbol* dynamic_symbol(const std::string& name) const;

    // DT_NEEDED names, in order, and every other dynamic entry by tag (last one wins).
    const std::vector<std::string>& needed() const { return needed_; }
    const std::string& soname() const { return soname_; }  // DT_SONAME; empty without one
    std::optional<uint64_t> dynamic(int64_t tag) const;

    // The pointer-sized word at a virtual address as it is once the loader has applied
    // the dynamic relocations (relative to a load base of 0); a word bound to an
    // undefined symbol reads as kExternal. Empty when no section holds the address.
    std::optional<uint64_t> word(uint64_t address) const;
    static constexpr uint64_t kExternal = ~uint64_t{0};
    // The NUL-terminated text at a virtual address, if a section with contents holds it.
    std::optional<std::string> text(uint64_t address) const;

  private:
    std::vector<unsigned char> bytes_;
    std::string path_;
    bool is64_ = false;
    uint16_t machine_ = 0;
    std::vector<Section> sections_;
    std::vector<Segment> segments_;
    std::vector<Symbol> dynsym_, symtab_;
    std::vector<std::string> needed_;
    std::string soname_;
    std::map<int64_t, uint64_t> dynamic_;
    std::map<uint64_t, uint64_t> relocated_;  // address -> value once relocated

    template <class T>
    T read(uint64_t offset) const;
    uint64_t raw_word(uint64_t address) const;
    std::vector<Symbol> symbols(const Section& table) const;
    std::string string_at(const Section& strings, uint64_t offset) const;
    void read_dynamic();
    void read_relocations();
};

}  // namespace hmi::elf
