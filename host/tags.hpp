// The panel's tag store: every tag of the catalogue with its kind and its value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/event.hpp"

namespace hmi::host {

enum class Kind : uint8_t { U8, U16, I16, U32, I32, F32, Text };

std::optional<Kind> parse_kind(std::string_view name);
std::string_view kind_name(Kind kind);
size_t width(Kind kind);  // bytes of storage; a text tag's whole buffer

constexpr size_t kTextTagSize = 256;  // HMI_TEXT_TAG_SIZE

struct TagDef {
    std::string name;  // group.name
    Kind kind;
    std::string initial;  // as written in the catalogue; texts without their quotes
    bool param = false;   // one of the project's parameters
    int line = 0;
};

// The catalogue file: "name kind initial [param]" a line, "#" comments.
struct Catalogue {
    std::vector<TagDef> tags;
    // What is allowed but likely a mistake (no clock tag), as "origin: message".
    std::vector<std::string> warnings;

    // Throws std::runtime_error naming origin:line and what is wrong.
    static Catalogue parse(std::string_view text, const std::string& origin);
    static Catalogue load(const std::string& path);
};

// Parses a value for a tag of the kind: integers in range (decimal or 0x hex), floats,
// texts (quotes optional; a text keeps its blanks) that fit the buffer. Empty on success,
// else what is wrong.
std::string parse_value(Kind kind, std::string_view text, unsigned char* out);
// Stores a number into a value of the kind: a whole number in range for integers.
// Empty on success, else what is wrong.
std::string store_number(Kind kind, double number, unsigned char* out);
// The value as a person reads it: integers in decimal, floats shortest, texts quoted.
std::string format_value(Kind kind, const unsigned char* value);
// The value with its type: integers, a float, or a text in UTF-8.
Value typed_value(Kind kind, const unsigned char* value);

struct Tag {
    const TagDef* def;
    unsigned char* value;  // width(def->kind) bytes, stable for the store's lifetime
};

// What every store of one catalogue shares, built once: the tags' definitions, where
// each one's value lies, the initial values, and the names to find a tag by.
class TagTable {
  public:
    explicit TagTable(std::vector<TagDef> defs);

    const std::vector<TagDef>& defs() const { return defs_; }
    // The tag's place, by a full name or a name without its group that only one tag has.
    std::optional<size_t> find(std::string_view name) const;

  private:
    friend class TagStore;
    std::vector<TagDef> defs_;
    std::vector<size_t> offsets_;         // of each value in a store's storage
    std::vector<unsigned char> initial_;  // the whole storage, every tag at its initial value
    std::unordered_map<std::string_view, size_t> by_name_;       // names in defs_
    std::unordered_map<std::string_view, size_t> by_bare_name_;  // ambiguous ones left out
};

class TagStore {
  public:
    explicit TagStore(const Catalogue& catalogue);
    explicit TagStore(std::shared_ptr<const TagTable> table);
    TagStore(const TagStore&) = delete;
    TagStore& operator=(const TagStore&) = delete;

    // A full name, or a name without its group that only one tag has.
    Tag* find(std::string_view name);
    const Tag* find(std::string_view name) const;
    std::vector<Tag>& all() { return tags_; }
    const std::vector<Tag>& all() const { return tags_; }
    void reset();  // every tag back to its initial value

  private:
    std::shared_ptr<const TagTable> table_;
    std::vector<Tag> tags_;
    std::unique_ptr<unsigned char[]> storage_;
};

}  // namespace hmi::host
