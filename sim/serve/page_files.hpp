// The page's files (sim/serve/page/), compiled into the program.
#pragma once

#include <string_view>
#include <vector>

namespace hmi::sim::serve {

struct PageFile {
    std::string_view path;  // "/" for index.html, else "/NAME"
    std::string_view type;  // the Content-Type
    std::string_view body;
};

const std::vector<PageFile>& page_files();

}  // namespace hmi::sim::serve
