// "Create by prog ID": a small registry of the automation classes this
// process can create. It starts with the built-in classes (the spreadsheet
// engine as "Excel.Application"); tests replace or remove entries to put a
// recording server in its place or to act as a machine without one.
#pragma once

#include "automation_types.h"

#include <functional>
#include <string>

namespace automation {

// Makes a new object holding one reference for the caller, or nullptr when
// the server cannot start.
using ClassFactory = std::function<Dispatch*()>;

void register_class(const std::string& progId, ClassFactory factory);
void unregister_class(const std::string& progId);
// Back to the built-in classes only.
void reset_class_registry();

// kOk with *object set (one reference), kClassNotRegistered for an unknown
// prog ID, kFail when the factory gives nothing.
Status create_instance(const std::string& progId, Dispatch** object);

}  // namespace automation
