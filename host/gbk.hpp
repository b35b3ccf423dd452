// The panel shows non-ASCII texts as GBK bytes; people read UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace hmi::host {

// Bytes that are not valid GBK come out as \xNN escapes, so nothing is lost.
std::string gbk_to_utf8(std::string_view gbk);
// Empty when the text has a character that GBK lacks.
std::string utf8_to_gbk(std::string_view utf8);

}  // namespace hmi::host
