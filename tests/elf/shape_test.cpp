// The binary shape of the library as the panel's loader sees it, read from the files
// themselves: this build's library and, when it has been built, the other one
// (the desktop build checks the armhf file and the armhf build the desktop file).
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "hmi_version.h"
#include "tests/elf/elf_file.hpp"

namespace hmi::elf {
namespace {

// Every name a host may bind in the library.
const std::set<std::string> kExternalInterfaces = {
    "event_funcs",
    "prop_funcs",
    "hmi_widget_get_func",
    "hmi_widget_get_event_func",
    "hmi_widget_get_dyn_prop_func",
    "sys_exec_program",
    "sys_exec_program_arg1",
    "is_process_run",
    "kill_program",
    "audio_stop_play",
    "audio_play_wav",
    "datetime_add",
    "hmi_get_usr_data_dir",
    "hmi_get_cfcard_dir",
    "hmi_get_usb_dir",
    "hmi_get_project_dir",
};

// The services the host process supplies, bound by name at load.
const std::set<std::string> kHostServices = {
    "hmidb_get_data_value",
    "hmidb_set_data_value",
    "hmidb_get_data_value_by_ptr",
    "hmi_window_show",
    "hmi_window_hide",
    "hmi_center_window",
    "hmi_window_show_modal",
    "hmi_window_exit_modal",
    "msgbox",
    "data_input_window",
    "rtdb_param_rtdb_to_mem",
    "sys_save_params",
    "rtdb_param_mem_to_rtdb",
    "rtdb_get_data_value_by_name",
    "long2str",
    "long2str2",
    "float2str3",
    "double2str2",
    "strjoin",
    "gettimeinfo",
    "sys_get_file_path",
    "sin",
    "cos",
    "pow",
};

// What the library may take from the C library. Calendar time is the panel's 32-bit
// one: the armhf build imports mktime and localtime_r, never their 64-bit forms
// (__mktime64, __localtime64_r), so dates behave as on the panel.
const std::set<std::string> kCLibrary = {
    // the lookup's key buffer and text handling
    "malloc", "free", "memcpy", "memmove", "memset", "memcmp", "memchr", "strlen", "strnlen",
    "strcpy", "strncpy", "strcat", "strncat", "strcmp", "strncmp", "strchr", "strrchr", "strstr",
    "strtoul", "strtol", "snprintf", "sprintf",
    // the same under _FORTIFY_SOURCE
    "__memcpy_chk", "__memmove_chk", "__memset_chk", "__strcpy_chk", "__strncpy_chk",
    "__strcat_chk", "__strncat_chk", "__sprintf_chk", "__snprintf_chk", "__fgets_chk",
    "__fread_chk",
    // programs, the process listing, sound
    "fork", "execl", "_exit", "waitpid", "system", "popen", "pclose", "fread", "fgets", "kill",
    "usleep",
    // the started program keeps none of the caller's descriptors above standard error
    "syscall", "close", "sysconf",
    // dates, demonstration values
    "mktime", "localtime_r", "rand",
    // errno (an interrupted wait, a number out of range)
    "__errno_location",
    // stack protector, where the compiler adds it
    "__stack_chk_fail", "__stack_chk_guard",
    // weak references of the compiler's start-up files, resolved by the loader
    "__cxa_finalize", "__gmon_start__", "_ITM_deregisterTMCloneTable", "_ITM_registerTMCloneTable"};

bool allowed_import(const File& file, const std::string& name) {
    if (kHostServices.count(name) != 0 || kCLibrary.count(name) != 0) return true;
    // ARM run-time helpers of libgcc (division, long shifts) when not linked in.
    return file.machine() == EM_ARM && name.rfind("__aeabi_", 0) == 0;
}

// The names under "global:" in the version script.
std::set<std::string> map_names(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error(path + ": cannot be opened");
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    for (size_t open; (open = text.find("/*")) != std::string::npos;) {
        size_t close = text.find("*/", open);
        text.erase(open, close == std::string::npos ? std::string::npos : close + 2 - open);
    }
    for (char& c : text) {
        if (c == '{' || c == '}' || c == ';') c = ' ';
    }
    std::set<std::string> names;
    std::istringstream words(text);
    bool global = false;
    for (std::string word; words >> word;) {
        if (word == "global:") {
            global = true;
        } else if (word == "local:") {
            global = false;
        } else if (global) {
            names.insert(word);
        }
    }
    return names;
}

std::string joined(const std::set<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out.empty() ? "(none)" : out;
}

std::string from_environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

struct Build {
    std::string label;  // "desktop" or "armhf"
    std::string path;
    bool own;        // this build's library, which must exist
    bool sanitized;  // built with HMI_SANITIZE
    bool hardened;   // built with the hardening flags and the optimizer (fortify needs it)
};

void PrintTo(const Build& b, std::ostream* out) {
    *out << b.label;
}

const File& load(const std::string& path) {
    static std::map<std::string, File> files;
    auto found = files.find(path);
    if (found == files.end()) found = files.emplace(path, File::load(path)).first;
    return found->second;
}

class LibraryShape : public ::testing::TestWithParam<Build> {
  protected:
    void SetUp() override {
        const Build& b = GetParam();
        if (!b.own && !std::filesystem::exists(b.path)) {
            GTEST_SKIP() << "the " << b.label << " build is not there: " << b.path;
        }
        file = &load(b.path);
    }
    bool sanitized() const { return GetParam().sanitized; }
    const File* file = nullptr;
};

TEST_P(LibraryShape, ExportsExactlyTheNamesOfItsMap) {
    std::set<std::string> in_map = map_names(HMI_EXPORTS_MAP);
    std::set<std::string> exported;
    for (const Symbol& s : file->dynamic_symbols()) {
        if (s.exported()) exported.insert(s.name);
    }
    EXPECT_EQ(joined(exported), joined(in_map));
    std::set<std::string> unknown;
    std::set_difference(in_map.begin(), in_map.end(), kExternalInterfaces.begin(),
                        kExternalInterfaces.end(), std::inserter(unknown, unknown.end()));
    EXPECT_TRUE(unknown.empty()) << "not an external interface: " << joined(unknown);
}

// Rows of two pointer-sized words ended by a row of two nulls; the count is read
// from the table, so the check holds while screens are added.
struct Table {
    const char* name;
    unsigned full_rows;        // once every screen is in
    uint64_t full_size_arm32;  // bytes on the panel's 32-bit target
};
constexpr Table kTables[] = {{"event_funcs", 127, 1024}, {"prop_funcs", 250, 2008}};

TEST_P(LibraryShape, HandlerTablesAreConstantObjectsSizedByTheirRows) {
    const unsigned word = file->pointer_size();
    auto thumb_bit = [&](uint64_t a) { return file->machine() == EM_ARM ? a & ~uint64_t{1} : a; };
    for (const Table& t : kTables) {
        SCOPED_TRACE(t.name);
        const Symbol* table = file->dynamic_symbol(t.name);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->type, unsigned{STT_OBJECT});

        uint64_t rows = 0;
        for (;; ++rows) {
            ASSERT_LE((rows + 1) * 2 * word, table->size) << "no end row within the symbol";
            uint64_t row = table->value + rows * 2 * word;
            std::optional<uint64_t> key = file->word(row);
            std::optional<uint64_t> func = file->word(row + word);
            ASSERT_TRUE(key && func) << "row " << rows << " is outside the file's sections";
            if (*key == 0) {
                EXPECT_EQ(*func, 0u) << "the end row's function word";
                break;
            }
            // Keys are constant texts; functions are code of the library.
            const Section* text = file->section_at(*key);
            ASSERT_TRUE(text != nullptr && file->text(*key)) << "row " << rows;
            EXPECT_EQ(text->flags & SHF_WRITE, 0u) << *file->text(*key) << " is writable";
            const Section* code = file->section_at(thumb_bit(*func));
            EXPECT_TRUE(code != nullptr && (code->flags & SHF_EXECINSTR) != 0)
                << *file->text(*key) << ": function outside the code";
        }
        EXPECT_EQ(table->size, (rows + 1) * 2 * word) << rows << " rows";
        EXPECT_LE(rows, t.full_rows);
        if (rows == t.full_rows && file->machine() == EM_ARM && !file->is64()) {
            EXPECT_EQ(table->size, t.full_size_arm32);
        }

        // Constant, or written only by the loader's relocations and read-only after
        // them: inside the RELRO segment, with every binding done at load.
        const Section* home = file->section_at(table->value);
        ASSERT_NE(home, nullptr);
        bool relro =
            std::any_of(file->segments().begin(), file->segments().end(), [&](const Segment& s) {
                return s.type == PT_GNU_RELRO && s.contains(table->value, table->size);
            });
        EXPECT_TRUE((home->flags & SHF_WRITE) == 0 || relro)
            << "writable after load, in " << home->name;
    }
    bool now = (file->dynamic(DT_FLAGS).value_or(0) & DF_BIND_NOW) != 0 ||
               (file->dynamic(DT_FLAGS_1).value_or(0) & DF_1_NOW) != 0;
    EXPECT_TRUE(now) << "lazy binding leaves the RELRO segment open";
    EXPECT_FALSE(file->dynamic(DT_TEXTREL)) << "code that the loader must patch";
}

TEST_P(LibraryShape, RunsNothingOfItsOwnAtLoadOrUnload) {
    for (const Symbol& sym : file->static_symbols()) {
        bool constructor =
            sym.name.rfind("_GLOBAL__sub_I_", 0) == 0 ||
            sym.name.rfind("_GLOBAL__sub_D_", 0) == 0 || sym.name.rfind("_GLOBAL__I_", 0) == 0 ||
            sym.name.rfind("_GLOBAL__D_", 0) == 0 ||
            sym.name.find("__static_initialization_and_destruction") != std::string::npos;
        EXPECT_FALSE(constructor) << sym.name;
    }
    // A sanitizer registers each unit's globals with its run time from constructors of
    // its own.
    if (sanitized()) GTEST_SKIP() << "a sanitizer build has the sanitizers' constructors";
    struct Array {
        const char* section;
        const char* only_entry;  // what the compiler's start-up files put there
    };
    for (Array a :
         {Array{".init_array", "frame_dummy"}, Array{".fini_array", "__do_global_dtors_aux"}}) {
        SCOPED_TRACE(a.section);
        const Section* s = file->section(a.section);
        if (s == nullptr) continue;
        EXPECT_LE(s->size / file->pointer_size(), 1u);
        if (file->static_symbols().empty()) continue;  // stripped: no names to check
        for (uint64_t at = s->addr; at < s->addr + s->size; at += file->pointer_size()) {
            uint64_t entry = file->word(at).value_or(0);
            if (file->machine() == EM_ARM) entry &= ~uint64_t{1};
            std::string name = "(unnamed)";
            for (const Symbol& sym : file->static_symbols()) {
                uint64_t value = file->machine() == EM_ARM ? sym.value & ~uint64_t{1} : sym.value;
                if (sym.type == STT_FUNC && value == entry) name = sym.name;
            }
            EXPECT_EQ(name, a.only_entry);
        }
    }
}

// A sanitizer build links its run-time library (libasan, libubsan) and imports the
// sanitizers' hooks, so its imports and needed libraries are not the panel's.
constexpr char kSanitizerRunTime[] = "a sanitizer build needs and imports the sanitizers' run time";

TEST_P(LibraryShape, ImportsOnlyHostServicesAndTheCLibrary) {
    if (sanitized()) GTEST_SKIP() << kSanitizerRunTime;
    std::set<std::string> imports, foreign;
    for (const Symbol& s : file->dynamic_symbols()) {
        if (s.defined() || s.name.empty()) continue;
        imports.insert(s.name);
        if (!allowed_import(*file, s.name)) foreign.insert(s.name);
    }
    EXPECT_TRUE(foreign.empty()) << "imports beyond the host and the C library: "
                                 << joined(foreign);
    // The lookup's key buffer comes from the C library's heap.
    EXPECT_TRUE(imports.count("malloc") && imports.count("free")) << joined(imports);
}

TEST_P(LibraryShape, NeedsOnlyTheCLibraries) {
    if (sanitized()) GTEST_SKIP() << kSanitizerRunTime;
    std::set<std::string> needed(file->needed().begin(), file->needed().end());
    EXPECT_TRUE(needed.count("libc.so.6")) << joined(needed);
    needed.erase("libc.so.6");
    needed.erase("libm.so.6");  // sin, cos, pow; dropped while no screen uses them
    // On the target the stack protector's guard is the dynamic loader's, which every
    // process has already loaded as its interpreter.
    const auto& symbols = file->dynamic_symbols();
    if (file->machine() == EM_ARM &&
        std::any_of(symbols.begin(), symbols.end(), [](const Symbol& s) {
            return !s.defined() && s.name == "__stack_chk_guard";
        })) {
        needed.erase("ld-linux-armhf.so.3");
    }
    EXPECT_TRUE(needed.empty()) << "needed beyond libc and libm: " << joined(needed);
}

// The name the panel's runtime opens it by is its SONAME, so that the loader's cache and
// the packaging tools know it.
TEST_P(LibraryShape, IsNamedByItsFileName) {
    EXPECT_EQ(file->soname(), "libhmiscript.so");
}

// The hardening of the build is in the file: each row is one flag's trace, so a flag
// lost from the build (or dropped by a toolchain) fails here by name.
struct Hardening {
    const char* flag;
    bool (*present)(const File&);
};

bool imports(const File& f, const std::function<bool(const std::string&)>& wanted) {
    for (const Symbol& s : f.dynamic_symbols()) {
        if (!s.defined() && wanted(s.name)) return true;
    }
    return false;
}

const Hardening kHardening[] = {
    {"-fstack-protector-strong",
     [](const File& f) {
         return imports(f, [](const std::string& n) { return n == "__stack_chk_fail"; });
     }},
    {"-D_FORTIFY_SOURCE=2",
     [](const File& f) {
         return imports(f, [](const std::string& n) {
             return n.size() > 6 && n.rfind("__", 0) == 0 && n.substr(n.size() - 4) == "_chk";
         });
     }},
    {"-Wl,-z,relro",
     [](const File& f) {
         return std::any_of(f.segments().begin(), f.segments().end(),
                            [](const Segment& s) { return s.type == PT_GNU_RELRO; });
     }},
    {"-Wl,-z,now",
     [](const File& f) {
         return (f.dynamic(DT_FLAGS).value_or(0) & DF_BIND_NOW) != 0 ||
                (f.dynamic(DT_FLAGS_1).value_or(0) & DF_1_NOW) != 0;
     }},
};

TEST_P(LibraryShape, CarriesTheHardeningOfItsBuild) {
    if (!GetParam().hardened) GTEST_SKIP() << "built without hardening, or not optimized";
    for (const Hardening& h : kHardening) {
        EXPECT_TRUE(h.present(*file)) << "no trace of " << h.flag;
    }
}

// The version is found by its section's name in the file, through no symbol: the
// section holds the one text, read-only, and no exported or imported name points into it.
TEST_P(LibraryShape, RecordsTheProjectVersionInASectionOfItsOwn) {
    const Section* version = file->section(".hmiscript.version");
    ASSERT_NE(version, nullptr) << "no .hmiscript.version section";
    EXPECT_EQ(version->type, unsigned{SHT_PROGBITS});
    EXPECT_EQ(version->flags & (SHF_WRITE | SHF_EXECINSTR), 0u) << "writable or code";
    std::optional<std::string> text = file->text(version->addr);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "hmiscript " HMI_VERSION);
    EXPECT_EQ(version->size, text->size() + 1) << "more than the version in the section";
    for (const Symbol& s : file->dynamic_symbols()) {
        EXPECT_FALSE(s.defined() && version->contains(s.value)) << s.name << " names it";
    }
}

std::vector<Build> builds() {
    return {
        {HMI_BUILD_LABEL, from_environment("HMISCRIPT", HMI_LIBRARY_PATH), true, HMI_SANITIZED,
         HMI_HARDENED},
        {HMI_PEER_LABEL, from_environment("HMISCRIPT_PEER", HMI_PEER_LIBRARY_PATH), false, false,
         HMI_HARDENED},
    };
}

INSTANTIATE_TEST_SUITE_P(Builds, LibraryShape, ::testing::ValuesIn(builds()),
                         [](const ::testing::TestParamInfo<Build>& info) {
                             return info.param.label;
                         });

}  // namespace
}  // namespace hmi::elf
