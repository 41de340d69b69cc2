#include "class_registry.h"

#include "sheet_engine.h"

#include <map>
#include <mutex>

namespace automation {

namespace {

std::mutex g_registryMutex;

std::map<std::string, ClassFactory> builtin_classes() {
    return {{kSheetEngineProgId, [] { return create_sheet_engine(); }}};
}

std::map<std::string, ClassFactory>& registry() {
    static std::map<std::string, ClassFactory> classes = builtin_classes();
    return classes;
}

}  // namespace

void register_class(const std::string& progId, ClassFactory factory) {
    std::lock_guard lock(g_registryMutex);
    registry()[progId] = std::move(factory);
}

void unregister_class(const std::string& progId) {
    std::lock_guard lock(g_registryMutex);
    registry().erase(progId);
}

void reset_class_registry() {
    std::lock_guard lock(g_registryMutex);
    registry() = builtin_classes();
}

Status create_instance(const std::string& progId, Dispatch** object) {
    *object = nullptr;
    ClassFactory factory;
    {
        std::lock_guard lock(g_registryMutex);
        const auto it = registry().find(progId);
        if (it == registry().end()) return kClassNotRegistered;
        factory = it->second;
    }
    // The factory runs outside the lock: it may itself create objects.
    Dispatch* made = factory ? factory() : nullptr;
    if (made == nullptr) return kFail;
    *object = made;
    return kOk;
}

}  // namespace automation
