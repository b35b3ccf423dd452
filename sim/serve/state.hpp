// The served panel's state as JSON, as the page draws it: windows (and the widgets of
// the shown ones with their properties' current values), tags, time.
#pragma once

#include <nlohmann/json.hpp>

#include "sim/engine/simulator.hpp"

namespace hmi::sim::serve {

nlohmann::json windows_json(Simulator& sim);
nlohmann::json tags_json(Simulator& sim);
// A tag's value as the readable trace writes it (texts quoted, UTF-8).
std::string tag_value_text(const host::Tag& tag);

}  // namespace hmi::sim::serve
