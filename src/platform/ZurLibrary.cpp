#include "platform/ZurLibrary.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string_view>

#include "platform/NoDestructor.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#endif

namespace platform {
namespace {

using Address = void (*)();

const ZurFunctions unboundTable{};
std::atomic<const ZurFunctions*> current{&unboundTable};

// Every table ever published: a grab thread may still read an older one.
std::vector<std::unique_ptr<const ZurFunctions>>& Published() {
    static NoDestructor<std::vector<std::unique_ptr<const ZurFunctions>>> tables;
    return *tables;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool ParseConvention(const std::string& text, ZurConvention& convention) {
    if (text == "cdecl" || text == "__cdecl") {
        convention = ZurConvention::Cdecl;
        return true;
    }
    if (text == "stdcall" || text == "__stdcall") {
        convention = ZurConvention::Stdcall;
        return true;
    }
    return false;
}

#ifndef _WIN32
bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}
#endif

bool RaisedPrivileges() {
#ifdef _WIN32
    return false;
#else
    return getauxval(AT_SECURE) != 0;
#endif
}

#ifdef _WIN32
constexpr const char* kLibraryName = "ZUR.dll";
#else
constexpr const char* kLibraryName = "libZUR.so";
#endif

// The library file a choice names, or "" with the reason in error.
std::string ResolveLibrary(const ZurChoice& choice, std::string& error) {
    const std::string folder = ModuleFolder();
#ifdef _WIN32
    if (choice.library.empty()) {
        return folder + kLibraryName;
    }
    // A bare name would be looked for along the DLL search path.
    if (choice.library.find_first_of("\\/") == std::string::npos) {
        error = choice.source + "=" + choice.library + ": the path of a ZUR.dll";
        return {};
    }
    return choice.library;
#else
    const std::string kind = choice.library.empty() ? "sim" : choice.library;
    if (kind == "sim" || kind == "gige") {
        // The build tree keeps them in sim/ and gige/ beside the driver, an
        // installation in zavaded/sim/ and zavaded/gige/.
        for (const std::string& candidate : {folder + kind + "/" + kLibraryName,
                                             folder + "zavaded/" + kind + "/" + kLibraryName}) {
            if (FileExists(candidate)) {
                return candidate;
            }
        }
        error = "no " + std::string(kind == "sim" ? "simulated" : "GigE Vision") +
                " ZUR library beside the driver (looked in " + folder + kind + "/ and " + folder +
                "zavaded/" + kind + "/)";
        return {};
    }
    if (choice.secure) {
        error = "ZAVADED_ZUR=" + choice.library +
                ": a program with raised privileges takes only sim or gige from its environment; "
                "name the path in " +
                ZurConfigurationFile() + " instead";
        return {};
    }
    if (choice.library.find('/') == std::string::npos) {
        // A bare name would be looked up in the loader's search path, which
        // is what the setting is there to avoid.
        error = choice.source + "=" + choice.library + ": sim, gige or a path to a libZUR.so";
        return {};
    }
    return choice.library;
#endif
}

void* Load(const std::string& path, std::string& error) {
#ifdef _WIN32
    // Its own dependencies are looked for beside it.
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        error = "Windows error " + std::to_string(GetLastError());
    }
    return reinterpret_cast<void*>(module);
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unknown reason";
    }
    return handle;
#endif
}

Address Find(void* library, const std::string& name) {
#ifdef _WIN32
    return reinterpret_cast<Address>(GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
#else
    return reinterpret_cast<Address>(dlsym(library, name.c_str()));
#endif
}

#if ZAVADED_ZUR_TWO_CONVENTIONS
// Calls function(argument) as __cdecl and stores in left the argument bytes
// still on the stack when it returned: 4 from a __cdecl callee, 0 from a
// __stdcall one. The stack is put back either way.
extern "C" std::int32_t ZavadedZurCallCheckingStack(
    Address function, std::uint32_t argument,
    std::uint32_t* left) __asm__("zavaded_zur_call_checking_stack");
asm(".text\n"
    "zavaded_zur_call_checking_stack:\n"
    "    pushl %esi\n"
    "    movl %esp, %esi\n"
    "    pushl 12(%esi)\n"
    "    call *8(%esi)\n"
    "    movl %esi, %ecx\n"
    "    subl %esp, %ecx\n"
    "    movl 16(%esi), %edx\n"
    "    movl %ecx, (%edx)\n"
    "    movl %esi, %esp\n"
    "    popl %esi\n"
    "    ret\n");
#endif

// The first call: announces the record version, and where a wrong
// convention would unbalance the stack, finds out which the library uses.
bool AnnounceVersion(ZurFunctions& table, Address setStructVersion, bool decorated,
                     const ZurChoice& choice, std::uint32_t version, std::string& error) {
#if ZAVADED_ZUR_TWO_CONVENTIONS
    if (!decorated) {
        std::uint32_t left = 0;
        ZavadedZurCallCheckingStack(setStructVersion, version, &left);
        const ZurConvention used = left == 0 ? ZurConvention::Stdcall : ZurConvention::Cdecl;
        if (left != 0 && left != 4) {
            error = "ZURSetStructVersion left the stack " + std::to_string(left) +
                    " bytes off: neither __cdecl nor __stdcall";
            return false;
        }
        if (used != choice.convention) {
            error = std::string("ZURSetStructVersion is ") + ZurConventionName(used) +
                    " but the driver is set to " + ZurConventionName(choice.convention) + " (" +
                    choice.conventionSource +
                    "): set ZUR_CALL=" + (used == ZurConvention::Stdcall ? "stdcall" : "cdecl");
            return false;
        }
        return true;
    }
#else
    (void)setStructVersion;
    (void)decorated;
    (void)choice;
    (void)error;
#endif
    table.ZURSetStructVersion(version);
    return true;
}

void Publish(std::unique_ptr<const ZurFunctions> table) {
    current.store(table.get(), std::memory_order_release);
    Published().push_back(std::move(table));
}

template <typename Function>
void BindOne(void* library, const char* name, Function& function, const ZurChoice& choice,
             ZurBinding& binding, Address& address, bool& decorated) {
    std::string found = name;
    address = Find(library, found);
    decorated = false;
#ifdef _WIN32
    // MSVC decorates __stdcall exports as _Name@N, GCC as Name@N.
    const std::string bytes = "@" + std::to_string(Function::kArgumentBytes);
    for (const std::string& other : {"_" + found + bytes, found + bytes}) {
        if (address != nullptr) {
            break;
        }
        address = Find(library, other);
        decorated = address != nullptr;
    }
#endif
    if (address == nullptr) {
        binding.missing.push_back(name);
        return;
    }
    const ZurConvention convention = decorated ? ZurConvention::Stdcall : choice.convention;
    function.Bind(address, convention);
    binding.decorated = binding.decorated || decorated;
    binding.convention = convention;
}

}  // namespace

const char* ZurConventionName(ZurConvention convention) {
    return convention == ZurConvention::Stdcall ? "__stdcall" : "__cdecl";
}

const ZurFunctions& Zur() {
    return *current.load(std::memory_order_acquire);
}

std::string ZurConfigurationFile() {
#ifdef _WIN32
    return ModuleFolder() + "zavaded.conf";
#else
    return "/etc/zavaded/zavaded.conf";
#endif
}

ZurChoice ChooseZur(const std::string& configurationFile, std::vector<std::string>& errors) {
    ZurChoice choice;
    std::string fileLibrary;
    std::string fileConvention;
    if (!configurationFile.empty()) {
        std::ifstream file(configurationFile);
        std::string line;
        while (std::getline(file, line)) {
            // KEY=VALUE lines; anything else, "#" comments among them, is skipped.
            const std::size_t equals = line.find('=');
            if (equals == std::string::npos) {
                continue;
            }
            const std::string key = Trim(line.substr(0, equals));
            if (key == "ZUR_CALL") {
                fileConvention = Trim(line.substr(equals + 1));
            } else if (key == "ZUR") {
                fileLibrary = Trim(line.substr(equals + 1));
            }
        }
    }
    const char* library = std::getenv("ZAVADED_ZUR");
    if (library != nullptr && *library != '\0') {
        choice.library = library;
        choice.source = "ZAVADED_ZUR";
        choice.secure = RaisedPrivileges();
    } else if (!fileLibrary.empty()) {
        choice.library = fileLibrary;
        choice.source = configurationFile;
    }
    const char* convention = std::getenv("ZAVADED_ZUR_CALL");
    std::string conventionText;
    if (convention != nullptr && *convention != '\0') {
        conventionText = convention;
        choice.conventionSource = "ZAVADED_ZUR_CALL";
    } else if (!fileConvention.empty()) {
        conventionText = fileConvention;
        choice.conventionSource = configurationFile;
    }
    if (!conventionText.empty() && !ParseConvention(conventionText, choice.convention)) {
        errors.push_back(choice.conventionSource + ": ZUR_CALL=" + conventionText +
                         " is neither cdecl nor stdcall");
    }
    return choice;
}

ZurBinding BindZur(const ZurChoice& choice, std::uint32_t structVersion) {
    ZurBinding binding;
    binding.convention = choice.convention;
    binding.path = ResolveLibrary(choice, binding.error);
    if (binding.path.empty()) {
        UnbindZur();
        return binding;
    }
    std::string reason;
    void* library = Load(binding.path, reason);
    if (library == nullptr) {
        binding.error =
            "cannot load " + binding.path + " (chosen by " + choice.source + "): " + reason;
        UnbindZur();
        return binding;
    }
    auto table = std::make_unique<ZurFunctions>();
    Address setStructVersion = nullptr;
    bool versionDecorated = false;
    Address address = nullptr;
    bool decorated = false;
#define ZAVADED_ZUR_BIND(result, name, arguments)                              \
    BindOne(library, #name, table->name, choice, binding, address, decorated); \
    if (std::string_view(#name) == "ZURSetStructVersion") {                    \
        setStructVersion = address;                                            \
        versionDecorated = decorated;                                          \
    }
    ZAVADED_ZUR_FUNCTIONS(ZAVADED_ZUR_BIND)
#undef ZAVADED_ZUR_BIND
    if (!binding.missing.empty()) {
        std::string names;
        for (const std::string& name : binding.missing) {
            names += (names.empty() ? "" : ", ") + name;
        }
        binding.error = binding.path + " lacks " + names;
        UnbindZur();
        return binding;
    }
    binding.simulated = Find(library, "ZURSimReset") != nullptr;
    if (!AnnounceVersion(*table, setStructVersion, versionDecorated, choice, structVersion,
                         binding.error)) {
        binding.error = binding.path + ": " + binding.error;
        UnbindZur();
        return binding;
    }
    Publish(std::move(table));
    binding.bound = true;
    return binding;
}

void UnbindZur() {
    current.store(&unboundTable, std::memory_order_release);
}

std::string ModuleFolder() {
    std::string path;
#ifdef _WIN32
    HMODULE module = nullptr;
    char buffer[MAX_PATH];
    if (GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&ModuleFolder), &module) != 0) {
        const DWORD length = GetModuleFileNameA(module, buffer, MAX_PATH);
        path.assign(buffer, length < MAX_PATH ? length : 0);
    }
    return path.substr(0, path.find_last_of("\\/") + 1);
#else
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) != 0 && info.dli_fname != nullptr) {
        path = info.dli_fname;
    }
    // The program itself is named as it was started; /proc tells its file.
    char buffer[PATH_MAX];
    if (path.find('/') == std::string::npos) {
        const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
        path.assign(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    } else if (path[0] != '/' && realpath(path.c_str(), buffer) != nullptr) {
        path = buffer;
    }
    return path.substr(0, path.find_last_of('/') + 1);
#endif
}

}  // namespace platform
