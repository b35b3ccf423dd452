#include "sim/serve/drawings.hpp"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "host/lines.hpp"

namespace hmi::sim::serve {
namespace {

bool name_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' ||
           c == '.';
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Reads the tags of an XML text, one at a time, counting lines; comments, CDATA,
// declarations and processing instructions are passed over.
class TagReader {
  public:
    TagReader(std::string_view text, const std::string& origin) : x_(text), origin_(origin) {}

    struct Tag {
        int line = 0;
        std::string name;
        std::vector<std::pair<std::string, std::string>> attributes;
    };

    // The next opening (or empty) tag; false at the end.
    bool next(Tag* tag) {
        for (;;) {
            size_t lt = x_.find('<', at_);
            if (lt == std::string_view::npos) return false;
            advance(lt);
            if (skip("<!--", "-->") || skip("<![CDATA[", "]]>") || skip("<?", "?>") ||
                skip("<!", ">") || skip("</", ">")) {
                continue;
            }
            advance(at_ + 1);
            tag->line = line_;
            tag->name = word();
            tag->attributes.clear();
            if (tag->name.empty()) fail("a '<' that opens no element");
            for (;;) {
                space();
                if (at_ >= x_.size()) fail("<" + tag->name + "> is not closed");
                if (x_[at_] == '>' || x_.compare(at_, 2, "/>") == 0) {
                    advance(at_ + 1);
                    return true;
                }
                std::string key = word();
                space();
                if (key.empty() || at_ >= x_.size() || x_[at_] != '=') {
                    fail("a bad attribute in <" + tag->name + ">");
                }
                advance(at_ + 1);
                space();
                char quote = at_ < x_.size() ? x_[at_] : '\0';
                if (quote != '"' && quote != '\'') fail("an attribute value without quotes");
                size_t end = x_.find(quote, at_ + 1);
                if (end == std::string_view::npos) fail("an attribute value not closed");
                std::string value(x_.substr(at_ + 1, end - at_ - 1));
                advance(end + 1);
                tag->attributes.emplace_back(std::move(key), std::move(value));
            }
        }
    }

    [[noreturn]] void fail(const std::string& why) const {
        throw std::runtime_error(origin_ + ":" + std::to_string(line_) + ": " + why);
    }

  private:
    void advance(size_t to) {
        line_ += static_cast<int>(std::count(x_.begin() + static_cast<std::ptrdiff_t>(at_),
                                             x_.begin() + static_cast<std::ptrdiff_t>(to), '\n'));
        at_ = to;
    }
    bool skip(std::string_view open, std::string_view close) {
        if (x_.compare(at_, open.size(), open) != 0) return false;
        size_t end = x_.find(close, at_ + open.size());
        if (end == std::string_view::npos) fail(std::string(open) + " is not closed");
        advance(end + close.size());
        return true;
    }
    std::string word() {
        size_t start = at_;
        while (at_ < x_.size() && name_char(x_[at_])) ++at_;
        return std::string(x_.substr(start, at_ - start));
    }
    void space() {
        size_t to = at_;
        while (to < x_.size() && std::isspace(static_cast<unsigned char>(x_[to]))) ++to;
        advance(to);
    }

    std::string_view x_;
    const std::string& origin_;
    size_t at_ = 0;
    int line_ = 1;
};

}  // namespace

std::vector<DrawnElement> drawn_elements(std::string_view svg, const std::string& origin) {
    std::vector<DrawnElement> found;
    TagReader reader(svg, origin);
    TagReader::Tag tag;
    bool any = false;
    while (reader.next(&tag)) {
        // The page puts the drawing into itself: nothing in it may run.
        std::string name = lower(tag.name);
        if (!any && name != "svg")
            reader.fail("a drawing is an <svg> element, not <" + tag.name + ">");
        any = true;
        if (name == "script" || name == "foreignobject" || name == "iframe") {
            reader.fail("<" + tag.name + ">: a drawing holds no scripts or other documents");
        }
        DrawnElement e;
        e.line = tag.line;
        e.tag = tag.name;
        for (const auto& [key, value] : tag.attributes) {
            std::string k = lower(key);
            if (k.starts_with("on")) {
                reader.fail("<" + tag.name + " " + key + "=...>: a drawing holds no scripts");
            }
            std::string v = lower(value);
            v.erase(
                std::remove_if(v.begin(), v.end(),
                               [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
                v.end());
            if (v.starts_with("javascript:")) {
                reader.fail("<" + tag.name + " " + key +
                            "=\"javascript:...\">: a drawing holds no scripts");
            }
            if (key == "data-widget") e.widget = value;
            if (key == "data-prop") e.prop = value;
        }
        if (!e.prop.empty() && e.widget.empty()) {
            reader.fail("<" + tag.name + " data-prop=" + host::quoted_excerpt(e.prop) +
                        ">: data-prop without data-widget");
        }
        if (!e.widget.empty()) found.push_back(std::move(e));
    }
    if (!any) reader.fail("no <svg> element");
    return found;
}

std::map<std::string, std::string> load_drawings(const std::string& directory, const Panel& panel,
                                                 const Library& library) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> drawings;
    if (directory.empty()) return drawings;  // a panel not loaded from a folder
    fs::path folder = fs::path(directory) / "drawings";
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return drawings;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().extension() == ".svg") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::string path = file.string();
        std::string window = file.stem().string();
        const PanelWindow* w = panel.window(window);
        if (w == nullptr) {
            throw std::runtime_error(path + ": the panel has no window " +
                                     host::quoted_excerpt(window) + " (windows.txt)");
        }
        // Its name goes into the page's address of the drawing.
        if (!std::all_of(window.begin(), window.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
            })) {
            throw std::runtime_error(path + ": a drawn window's name is letters, digits, _ and -");
        }
        const HandlerWindow* handlers = library.window(w->handlers);
        if (handlers == nullptr) {
            throw std::runtime_error(path + ": window " + window + " has no handlers to draw");
        }
        std::string svg = read_file(path);
        for (const DrawnElement& e : drawn_elements(svg, path)) {
            std::string where = path + ":" + std::to_string(e.line) + ": <" + e.tag +
                                " data-widget=" + host::quoted_excerpt(e.widget);
            if (!handlers->has_widget(e.widget)) {
                throw std::runtime_error(where + ">: window " + window + " has no widget " +
                                         host::quoted_excerpt(e.widget));
            }
            if (!e.prop.empty() && handlers->prop(e.widget, e.prop) == nullptr) {
                throw std::runtime_error(where + " data-prop=" + host::quoted_excerpt(e.prop) +
                                         ">: widget " + e.widget + " has no property " +
                                         host::quoted_excerpt(e.prop));
            }
        }
        drawings.emplace(window, std::move(svg));
    }
    return drawings;
}

}  // namespace hmi::sim::serve
