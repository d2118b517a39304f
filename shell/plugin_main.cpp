// The module's single exported entry point. Everything else in the module is hidden.
#include <cstdint>

#include "shell/plugin_shell.h"

extern "C" __attribute__((visibility("default"))) void PluginMain(int16_t selector, void* record,
                                                                  intptr_t* data,
                                                                  int16_t* result) {
    tw::PluginDispatch(selector, record, data, result);
}
