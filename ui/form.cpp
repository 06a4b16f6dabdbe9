#include "ui/form.h"

#include <cstdio>
#include <cstdlib>

namespace ui {

Component& Form::add(Kind kind, const char* name, const char* parent) {
    Component* p = parent ? &get(parent) : nullptr;
    all_.push_back(std::make_unique<Component>(kind, name, p));
    return *all_.back();
}

Component* Form::find(const std::string& name) const {
    for (const auto& c : all_)
        if (c->name == name) return c.get();
    return nullptr;
}

Component& Form::get(const std::string& name) const {
    if (Component* c = find(name)) return *c;
    std::fprintf(stderr, "form has no component %s\n", name.c_str());
    std::abort();
}

}  // namespace ui
