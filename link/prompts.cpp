#include "prompts.h"

#include <atomic>
#include <cstdio>

namespace {

class StderrPrompts final : public Prompts {
public:
    void message_box(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void set_status_line(const std::string& text) override { std::fprintf(stderr, "%s", text.c_str()); }
};

StderrPrompts g_stderrPrompts;
std::atomic<Prompts*> g_prompts{&g_stderrPrompts};

}  // namespace

void set_prompts(Prompts* p) { g_prompts.store(p != nullptr ? p : &g_stderrPrompts); }

Prompts& prompts() { return *g_prompts.load(); }
