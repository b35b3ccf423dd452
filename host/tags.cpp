#include "host/tags.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "host/gbk.hpp"
#include "host/lines.hpp"

namespace hmi::host {

namespace {
struct KindName {
    Kind kind;
    std::string_view name;
    size_t width;
};
constexpr KindName kKinds[] = {
    {Kind::U8, "u8", 1},
    {Kind::U16, "u16", 2},
    {Kind::I16, "i16", 2},
    {Kind::U32, "u32", 4},
    {Kind::I32, "i32", 4},
    {Kind::F32, "f32", 4},
    {Kind::Text, "text", kTextTagSize},
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

template <class T>
std::string parse_int(std::string_view text, unsigned char* out) {
    int base = 10;
    bool negative = !text.empty() && text.front() == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    long long v = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, base);
    // One sign at most: "--5" is not 5 (nor may the smallest long long be negated).
    if (digits.empty() || digits.front() == '-' || ec != std::errc() ||
        end != digits.data() + digits.size()) {
        return quoted_excerpt(text) + " is not a whole number";
    }
    if (negative) v = -v;
    if (v < static_cast<long long>(std::numeric_limits<T>::min()) ||
        v > static_cast<long long>(std::numeric_limits<T>::max())) {
        return std::string(text) + " does not fit (" +
               std::to_string(static_cast<long long>(std::numeric_limits<T>::min())) + " to " +
               std::to_string(static_cast<long long>(std::numeric_limits<T>::max())) + ")";
    }
    T t = static_cast<T>(v);
    std::memcpy(out, &t, sizeof t);
    return {};
}
}  // namespace

std::optional<Kind> parse_kind(std::string_view name) {
    for (const KindName& k : kKinds) {
        if (k.name == name) return k.kind;
    }
    return std::nullopt;
}

std::string_view kind_name(Kind kind) {
    return kKinds[static_cast<int>(kind)].name;
}
size_t width(Kind kind) {
    return kKinds[static_cast<int>(kind)].width;
}

std::string parse_value(Kind kind, std::string_view text, unsigned char* out) {
    if (kind != Kind::Text) text = trim(text);
    switch (kind) {
        case Kind::U8:
            return parse_int<uint8_t>(text, out);
        case Kind::U16:
            return parse_int<uint16_t>(text, out);
        case Kind::I16:
            return parse_int<int16_t>(text, out);
        case Kind::U32:
            return parse_int<uint32_t>(text, out);
        case Kind::I32:
            return parse_int<int32_t>(text, out);
        case Kind::F32: {
            float f = 0;
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), f);
            if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
                return quoted_excerpt(text) + " is not a number";
            }
            std::memcpy(out, &f, sizeof f);
            return {};
        }
        case Kind::Text: {
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
                text = text.substr(1, text.size() - 2);
            }
            if (text.size() >= kTextTagSize) {
                return "a text of " + std::to_string(text.size()) + " bytes does not fit (" +
                       std::to_string(kTextTagSize - 1) + " at most)";
            }
            std::memset(out, 0, kTextTagSize);
            std::memcpy(out, text.data(), text.size());
            return {};
        }
    }
    return "unknown kind";
}

std::string store_number(Kind kind, double number, unsigned char* out) {
    if (kind == Kind::Text) return "a text tag takes no number";
    if (kind == Kind::F32) {
        float f = static_cast<float>(number);
        std::memcpy(out, &f, sizeof f);
        return {};
    }
    if (!(number == std::floor(number)) || std::fabs(number) > 1e10) {
        return std::to_string(number) + " is not a whole number in range";
    }
    return parse_value(kind, std::to_string(static_cast<long long>(number)), out);
}

std::string format_value(Kind kind, const unsigned char* value) {
    if (kind != Kind::Text) return typed_value(kind, value).readable();
    const char* text = reinterpret_cast<const char*>(value);
    return std::string("\"")
        .append(text, strnlen(text, kTextTagSize))
        .append("\"");  // GBK, as stored
}

Value typed_value(Kind kind, const unsigned char* value) {
    auto as = [value](auto v) {
        std::memcpy(&v, value, sizeof v);
        return v;
    };
    switch (kind) {
        case Kind::U8:
            return Value::integer(as(uint8_t{}));
        case Kind::U16:
            return Value::integer(as(uint16_t{}));
        case Kind::I16:
            return Value::integer(as(int16_t{}));
        case Kind::U32:
            return Value::integer(as(uint32_t{}));
        case Kind::I32:
            return Value::integer(as(int32_t{}));
        case Kind::F32:
            return Value::float32(as(float{}));
        case Kind::Text: {
            const char* text = reinterpret_cast<const char*>(value);
            return Value::text(gbk_to_utf8(std::string(text, strnlen(text, kTextTagSize))));
        }
    }
    return {};
}

namespace {
// One catalogue line's words as a tag, or what is wrong with them.
std::string parse_tag(const std::vector<std::string>& fields, int number, TagDef* def) {
    if (fields.size() < 3 || fields.size() > 4) return "expected: name kind initial [param]";
    def->name = fields[0];
    def->line = number;
    if (def->name.find('.') == std::string::npos) {
        return "tag " + quoted_excerpt(def->name) + " has no group";
    }
    if (def->name.front() == '.' || def->name.back() == '.') {
        return "tag " + quoted_excerpt(def->name) + " is not GROUP.NAME: its " +
               (def->name.front() == '.' ? "group" : "name") + " is empty";
    }
    auto kind = parse_kind(fields[1]);
    if (!kind) return "unknown kind " + quoted_excerpt(fields[1]);
    def->kind = *kind;
    unsigned char scratch[kTextTagSize];
    std::string error = parse_value(def->kind, fields[2], scratch);
    if (!error.empty()) return def->name + ": " + error;
    // The panel's clock is a count of seconds.
    if (def->name == "system.CurDateTime" && def->kind != Kind::U32) {
        return "system.CurDateTime is the panel's clock: its kind is u32";
    }
    def->initial = fields[2];
    if (fields.size() == 4 && fields[3] != "param") {
        return "unknown flag " + quoted_excerpt(fields[3]);
    }
    def->param = fields.size() == 4;
    return {};
}
}  // namespace

Catalogue Catalogue::parse(std::string_view text, const std::string& origin) {
    Catalogue catalogue;
    std::unordered_map<std::string, int> seen;
    LineErrors errors(origin);
    for_each_line(text, errors, [&](int number, std::string_view line) -> std::string {
        std::vector<std::string> fields;
        std::string error;
        if (!split_words(line, &fields, &error)) return error;
        if (fields.empty()) return {};
        TagDef def;
        error = parse_tag(fields, number, &def);
        if (!error.empty()) return error;
        if (auto [it, fresh] = seen.emplace(def.name, number); !fresh) {
            return def.name + " is already defined at line " + std::to_string(it->second);
        }
        catalogue.tags.push_back(std::move(def));
        return {};
    });
    if (errors.count() > 0) throw std::runtime_error(errors.joined());
    if (seen.find("system.CurDateTime") == seen.end()) {
        catalogue.warnings.push_back(
            origin +
            ": no system.CurDateTime (u32), the panel's clock: the scripts see no clock, and "
            "it starts at 1970-01-01 00:00:00 unless --start gives a time");
    }
    return catalogue;
}

Catalogue Catalogue::load(const std::string& path) {
    return parse(read_text_file(path), path);
}

TagTable::TagTable(std::vector<TagDef> defs) : defs_(std::move(defs)) {
    size_t total = 0;
    for (const TagDef& def : defs_) {
        offsets_.push_back(total);
        total += (width(def.kind) + 7) / 8 * 8;
    }
    initial_.assign(total, 0);
    for (size_t i = 0; i < defs_.size(); ++i) {
        parse_value(defs_[i].kind, defs_[i].initial, initial_.data() + offsets_[i]);
        std::string_view name = defs_[i].name;
        by_name_.emplace(name, i);
        std::string_view bare = name.substr(name.find('.') + 1);
        if (auto [it, fresh] = by_bare_name_.emplace(bare, i); !fresh) {
            it->second = static_cast<size_t>(-1);  // two groups have it: no bare name
        }
    }
}

std::optional<size_t> TagTable::find(std::string_view name) const {
    const auto& index = name.find('.') == std::string_view::npos ? by_bare_name_ : by_name_;
    auto it = index.find(name);
    if (it == index.end() || it->second == static_cast<size_t>(-1)) return std::nullopt;
    return it->second;
}

TagStore::TagStore(const Catalogue& catalogue)
    : TagStore(std::make_shared<const TagTable>(catalogue.tags)) {}

TagStore::TagStore(std::shared_ptr<const TagTable> table)
    : table_(std::move(table)),
      storage_(std::make_unique_for_overwrite<unsigned char[]>(table_->initial_.size())) {
    tags_.reserve(table_->defs_.size());
    for (size_t i = 0; i < table_->defs_.size(); ++i)
        tags_.push_back(Tag{&table_->defs_[i], storage_.get() + table_->offsets_[i]});
    reset();
}

Tag* TagStore::find(std::string_view name) {
    return const_cast<Tag*>(static_cast<const TagStore*>(this)->find(name));
}

const Tag* TagStore::find(std::string_view name) const {
    std::optional<size_t> at = table_->find(name);
    return at ? &tags_[*at] : nullptr;
}

void TagStore::reset() {
    std::copy(table_->initial_.begin(), table_->initial_.end(), storage_.get());
}

}  // namespace hmi::host
