#include "sim/cli/junit.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace hmi::sim {

namespace {

// Length of the valid UTF-8 sequence at the start of `s`, or 0.
size_t utf8_length(std::string_view s) {
    auto c = static_cast<unsigned char>(s[0]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || n > s.size()) return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(s[i]) >> 6) != 2) return 0;
    }
    return n;
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

std::string test_name(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string failure_message(const ScenarioOutcome& o) {
    if (!o.crash.empty()) return "crashed: " + o.crash;
    std::string m = std::to_string(o.failed) + " of " + std::to_string(o.expectations) +
                    " expectation(s) failed";
    if (o.other_failures > 0) m += "; " + std::to_string(o.other_failures) + " other failure(s)";
    return m;
}

}  // namespace

std::string xml_escape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        switch (c) {
            case '<':
                out += "&lt;";
                ++i;
                continue;
            case '>':
                out += "&gt;";
                ++i;
                continue;
            case '&':
                out += "&amp;";
                ++i;
                continue;
            case '"':
                out += "&quot;";
                ++i;
                continue;
            default:
                break;
        }
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\n' && c != '\t') {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        size_t n = utf8_length(std::string_view(text).substr(i));
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

void write_junit(std::ostream& out, const std::string& suite,
                 const std::vector<ScenarioOutcome>& outcomes, double wall_seconds) {
    int failures = 0, errors = 0;
    for (const ScenarioOutcome& o : outcomes) {
        if (!o.crash.empty()) {
            ++errors;
        } else if (!o.passed()) {
            ++failures;
        }
    }
    std::string counts = " tests=\"" + std::to_string(outcomes.size()) + "\" failures=\"" +
                         std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                         "\" time=\"" + seconds(wall_seconds) + "\"";
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"hmisim\"" << counts << ">\n"
        << "  <testsuite name=\"" << xml_escape(suite) << "\"" << counts << " skipped=\"0\">\n";
    for (const ScenarioOutcome& o : outcomes) {
        out << "    <testcase name=\"" << xml_escape(test_name(o.path)) << "\" classname=\""
            << xml_escape(suite) << "\" file=\"" << xml_escape(o.path) << "\" time=\""
            << seconds(o.wall_seconds) << "\"";
        if (o.passed()) {
            out << "/>\n";
            continue;
        }
        const char* element = o.crash.empty() ? "failure" : "error";
        std::string body;
        for (const std::string& f : o.failures) body += f + "\n";
        out << ">\n      <" << element << " message=\"" << xml_escape(failure_message(o))
            << "\" type=\"" << (o.crash.empty() ? "expectation" : "crash") << "\">"
            << xml_escape(body) << "</" << element << ">\n"
            << "      <system-out>" << xml_escape(o.trace) << "</system-out>\n"
            << "    </testcase>\n";
    }
    out << "  </testsuite>\n</testsuites>\n";
}

namespace {

// The value of an attribute in an opening tag, as a number; 0 when it has none.
double attribute(const std::string& tag, const std::string& name) {
    size_t at = tag.find(" " + name + "=\"");
    return at == std::string::npos ? 0.0 : std::strtod(tag.c_str() + at + name.size() + 3, nullptr);
}

}  // namespace

std::string merge_junit(const std::vector<std::string>& files, std::ostream& out) {
    std::string suites;
    long tests = 0, failures = 0, errors = 0;
    double time = 0;
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) return file + ": cannot be read";
        std::stringstream text;
        text << in.rdbuf();
        std::string xml = text.str();
        int found = 0;
        // Every testsuite element, whole: from its opening tag to its end tag, or the
        // opening tag alone when it closes itself.
        for (size_t at = xml.find("<testsuite"); at != std::string::npos;
             at = xml.find("<testsuite", at + 1)) {
            char after = at + 10 < xml.size() ? xml[at + 10] : '\0';
            if (after != ' ' && after != '>' && after != '/' && after != '\n') continue;
            size_t head_end = xml.find('>', at);
            if (head_end == std::string::npos) return file + ": a testsuite element is cut off";
            std::string head = xml.substr(at, head_end + 1 - at);
            size_t end = head_end + 1;
            if (xml[head_end - 1] != '/') {
                size_t close = xml.find("</testsuite>", head_end);
                if (close == std::string::npos) return file + ": a testsuite element is not closed";
                end = close + 12;
            }
            tests += static_cast<long>(attribute(head, "tests"));
            failures += static_cast<long>(attribute(head, "failures"));
            errors += static_cast<long>(attribute(head, "errors"));
            time += attribute(head, "time");
            suites += "  " + xml.substr(at, end - at) + "\n";
            ++found;
            at = end - 1;
        }
        if (found == 0) return file + ": no testsuite element: not a JUnit file";
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"hmisim\" tests=\"" << tests << "\" failures=\"" << failures
        << "\" errors=\"" << errors << "\" time=\"" << seconds(time) << "\">\n"
        << suites << "</testsuites>\n";
    return {};
}

void write_tap(std::ostream& out, const std::vector<ScenarioOutcome>& outcomes) {
    out << "TAP version 13\n1.." << outcomes.size() << "\n";
    for (size_t i = 0; i < outcomes.size(); ++i) {
        const ScenarioOutcome& o = outcomes[i];
        out << (o.passed() ? "ok " : "not ok ") << i + 1 << " - " << o.path << "\n";
        if (o.passed()) continue;
        out << "  ---\n  message: \"" << failure_message(o) << "\"\n";
        if (!o.failures.empty()) {
            out << "  failures:\n";
            for (const std::string& f : o.failures) {
                std::string quoted;
                for (char c : f)
                    quoted += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
                out << "    - \"" << quoted << "\"\n";
            }
        }
        out << "  ...\n";
    }
}

}  // namespace hmi::sim
