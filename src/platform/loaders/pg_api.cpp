#include "platform/loaders/internal/pg_api.h"

#include <dlfcn.h>

#include <mutex>

namespace qx {

namespace {

// The major version of libpq's interface, which has not changed since 2006.
constexpr const char* kLibpqSoname = "libpq.so.5";

struct TLibpqState {
    std::mutex mutex;
    const char* soname = kLibpqSoname;
    bool tried = false;
    std::string failure;
    TLibpq functions;
};

TLibpqState& State() {
    static TLibpqState state;
    return state;
}

// What the system says went wrong in the last dlopen or dlsym.
std::string SystemReason() {
    const char* why = dlerror();
    return why != nullptr ? why : "unknown reason";
}

template <typename Function>
bool FindFunction(void* library, const char* name, Function& function) {
    void* symbol = dlsym(library, name);
    if (symbol == nullptr) return false;
    function = reinterpret_cast<Function>(symbol);
    return true;
}

// Fills `functions` from the library `soname`; answers the system's reason
// when it cannot be loaded or lacks one of them.
std::string Load(const char* soname, TLibpq& functions) {
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return SystemReason();
    TLibpq loaded;
#define QXRTF_LIBPQ_LOOKUP(name)                      \
    if (!FindFunction(library, #name, loaded.name)) { \
        std::string why = SystemReason();             \
        dlclose(library);                             \
        return why;                                   \
    }
    QXRTF_LIBPQ_FUNCTIONS(QXRTF_LIBPQ_LOOKUP)
#undef QXRTF_LIBPQ_LOOKUP
    // Never closed once in use: libpq and the TLS library under it keep
    // state to the end of the process.
    functions = loaded;
    return {};
}

}  // namespace

const std::string& LoadLibpq() {
    TLibpqState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.tried) {
        state.tried = true;
        const std::string why = Load(state.soname, state.functions);
        if (!why.empty())
            state.failure = std::string("PostgreSQL support needs ") + state.soname + ": " + why;
    }
    return state.failure;
}

const TLibpq& Libpq() {
    return State().functions;
}

void UseLibpqForTests(const char* soname) {
    TLibpqState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.soname = soname != nullptr ? soname : kLibpqSoname;
    state.tried = false;
    state.failure.clear();
    state.functions = TLibpq();
}

}  // namespace qx
