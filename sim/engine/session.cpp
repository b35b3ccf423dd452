#include "sim/engine/session.hpp"

#include <fnmatch.h>

#include <fstream>

#include "sim/engine/simulator.hpp"

namespace hmi::sim {
namespace {

bool always_shown(const Event& event) {
    switch (event.type) {
        case EventType::Warning:
        case EventType::Print:
        case EventType::PropValue:
        case EventType::Info:
        case EventType::Note:
        case EventType::Say:
        case EventType::Summary:
        case EventType::Wait:
            return true;
        default:
            return is_failure(event);
    }
}

// The events that cause others: what a line of the trace is shown under.
bool is_cause(EventType type) {
    switch (type) {
        case EventType::Click:
        case EventType::Timer:
        case EventType::Open:
        case EventType::Close:
        case EventType::Set:
        case EventType::Show:
        case EventType::Hide:
        case EventType::Touch:
        case EventType::Clock:
        case EventType::Restart:
            return true;
        default:
            return false;
    }
}

// A tag's name as an event gives it: whole, or without its group as a script may write it.
bool matches(const std::vector<std::string>& globs, const std::string& name) {
    bool bare = name.find('.') == std::string::npos;
    for (const std::string& g : globs) {
        size_t dot = g.find('.');
        const char* glob = bare && dot != std::string::npos ? g.c_str() + dot + 1 : g.c_str();
        if (fnmatch(glob, name.c_str(), 0) == 0) return true;
    }
    return false;
}

// The events that read or write a tag (an input dialog stores or refuses a value).
bool about_a_tag(EventType type) {
    switch (type) {
        case EventType::Write:
        case EventType::Set:
        case EventType::Read:
        case EventType::Poll:
        case EventType::Input:
            return true;
        default:
            return false;
    }
}

// What a person or a scenario did, a restart and a load of the parameters: what a
// watched trace is read against.
bool is_anchor(const Event& event) {
    if (event.depth != 0) return false;
    switch (event.type) {
        case EventType::Click:
        case EventType::Set:
        case EventType::Show:
        case EventType::Hide:
        case EventType::Touch:
        case EventType::Clock:
        case EventType::Answer:
        case EventType::Restart:
            return true;
        case EventType::Param:
            return event.text(key::operation) == "load";
        default:
            return false;
    }
}

}  // namespace

const char* level_name(TraceLevel level) {
    switch (level) {
        case TraceLevel::Quiet:
            return "quiet";
        case TraceLevel::Normal:
            return "normal";
        case TraceLevel::Full:
            return "full";
    }
    return "?";
}

std::optional<TraceLevel> parse_level(const std::string& name) {
    for (TraceLevel l : {TraceLevel::Quiet, TraceLevel::Normal, TraceLevel::Full}) {
        if (name == level_name(l)) return l;
    }
    return std::nullopt;
}

bool TraceView::keep(const Event& event) const {
    if (always_shown(event)) return true;
    if (level == TraceLevel::Quiet) return false;
    if (!watched.empty()) {
        if (is_anchor(event)) return true;
        return about_a_tag(event.type) && matches(watched, event.text(key::tag));
    }
    return level == TraceLevel::Full || event.type != EventType::Prop;
}

void TraceView::pass(const Event& event, const std::function<void(const Event&)>& out) {
    bool kept = keep(event);
    if (event.depth == 0) {
        cause_.reset();
        if (!kept && is_cause(event.type)) cause_ = event;
    } else if (kept && cause_) {
        out(*cause_);
        cause_.reset();
    }
    if (kept) out(event);
}

std::string Session::check_breaks(Simulator& sim) {
    SimulatorProbe probe(sim);
    std::string reason;
    for (Break& b : breaks) {
        Outcome now = evaluate(b.condition, probe);
        if (now.holds && !b.held && reason.empty()) {
            reason = "at break " + b.condition.text + " (" + now.actual + ")";
        }
        b.held = now.holds;
    }
    return reason;
}

void Session::arm_breaks(Simulator& sim) {
    SimulatorProbe probe(sim);
    for (Break& b : breaks) b.held = evaluate(b.condition, probe).holds;
}

namespace {

// Writes a plot's file in its format. Empty on success.
std::string write_plot(ActivePlot& plot, uint64_t now) {
    PlotTable& table = plot.sampler.table();
    table.finish(now);
    return write_plot_file(plot.path, plot_text(table, plot.spec, plot.format, plot.path));
}

}  // namespace

std::vector<std::string> Session::finish_plots(uint64_t now, std::vector<std::string>* errors) {
    std::vector<std::string> written;
    for (ActivePlot& p : plots) {
        std::string error = write_plot(p, now);
        if (error.empty()) {
            written.push_back("plot of " + std::to_string(p.sampler.table().rows().size()) +
                              " samples written to " + p.path);
        } else {
            errors->push_back(error);
        }
    }
    plots.clear();
    return written;
}

}  // namespace hmi::sim
