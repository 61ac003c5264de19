// Unit model resolution: Parent chains merged with their States, model variants and the model job list.
#include "data/unit_models.h"

#include <algorithm>
#include <utility>
#include <unordered_set>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/game_file_names.h"
#include "data/text_lines.h"

namespace tarkeep::data {
namespace {

const DdfValue* truthy_or_null(const DdfValue* value) { return value && value->truthy() ? value : nullptr; }

const DdfValue* parent_of(const DdfValue& body) {
    if (const DdfValue* parent = truthy_or_null(body.find("Parent"))) return parent;
    return body.find("parent");
}

// The bodies of the chain, the unit itself first. Each step may name any unit not yet
// visited before it (a unit naming itself is resolved once more), so the chain ends.
std::vector<const DdfValue*> parent_chain(const GameDb& db, std::string_view name) {
    static const DdfValue empty = DdfValue::block();
    std::vector<const DdfValue*> chain;
    std::unordered_set<std::string> visited;
    std::string current(name);
    const DdfValue* body = db.find_definition("UnitModel", current);
    if (!body) body = &empty;
    for (;;) {
        chain.push_back(body);
        const DdfValue* parent = parent_of(*body);
        if (!parent || !parent->is(DdfKind::string) || !parent->truthy() || visited.count(parent->text)) break;
        const DdfValue* parent_body = db.find_definition("UnitModel", parent->text);
        if (!parent_body || !parent_body->truthy()) break;
        visited.insert(current);
        current = parent->text;
        body = parent_body;
    }
    return chain;
}

void merge_states(std::vector<std::string>& keys, std::vector<DdfValue>& states, const DdfValue* source) {
    if (!source || !source->is(DdfKind::list)) return;
    for (const DdfValue& state : source->items) {
        if (!state.is(DdfKind::block)) continue;
        const DdfValue* state_name = state.find("StateName");
        const std::string key = value_key(state_name ? *state_name : DdfValue::none());
        std::size_t i = 0;
        while (i < keys.size() && keys[i] != key) ++i;
        if (i < keys.size()) {
            states[i] = state;
        } else {
            keys.push_back(key);
            states.push_back(state);
        }
    }
}

// One step of the chain: the own body's entries over the base, States merged.
DdfValue apply_body(DdfValue base, const DdfValue& own) {
    std::vector<std::string> keys;
    std::vector<DdfValue> states;
    merge_states(keys, states, base.find("States"));
    merge_states(keys, states, own.find("States"));
    for (const auto& [key, value] : own.entries) {
        if (key != "States") base.set(key, value);
    }
    base.set("States", DdfValue::list(std::move(states)));
    return base;
}

class VariantCollector {
public:
    std::size_t add(const DdfValue& model) {
        const std::string key = value_key(model);
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            if (keys_[i] == key) return i;
        }
        keys_.push_back(key);
        variants_.push_back({model, {}});
        return variants_.size() - 1;
    }

    void add_state(const DdfValue& state) {
        std::vector<DdfValue> anims;
        if (const DdfValue* anim = truthy_or_null(state.find("AnimName"))) anims.push_back(*anim);
        if (const DdfValue* more = state.find("AnimVariants"); more && more->is(DdfKind::list)) {
            for (const DdfValue& anim : more->items) {
                if (anim.truthy()) anims.push_back(anim);
            }
        }
        std::vector<std::size_t> targets;
        if (const DdfValue* model = truthy_or_null(state.find("ModelName"))) {
            targets.push_back(add(*model));
        } else {
            for (std::size_t i = 0; i < variants_.size(); ++i) {
                const DdfValue& model = variants_[i].model;
                if (model.truthy() && !display_text(model).starts_with("_state")) targets.push_back(i);
            }
        }
        for (std::size_t i : targets) {
            auto& target = variants_[i].anims;
            target.insert(target.end(), anims.begin(), anims.end());
        }
    }

    std::vector<ModelVariant> take() { return std::move(variants_); }

private:
    std::vector<std::string> keys_;
    std::vector<ModelVariant> variants_;
};

constexpr std::string_view kRegionSuffixes[] = {"", "_we", "_me", "_fe", "_am"};

}  // namespace

DdfValue resolve_unit_model(const GameDb& db, std::string_view name) {
    const std::vector<const DdfValue*> chain = parent_chain(db, name);
    DdfValue result = DdfValue::block();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) result = apply_body(std::move(result), **it);
    return result;
}

const DdfValue& UnitModelResolver::resolve(const std::string& name) {
    if (const auto known = resolved_.find(name); known != resolved_.end()) return known->second;
    if (const auto known = cyclic_.find(name); known != cyclic_.end()) return known->second;
    // Walk up until a parent is missing (the chain ends), already resolved (its result is
    // the base), or already on this walk (a cycle).
    static const DdfValue empty = DdfValue::block();
    std::vector<std::pair<std::string, const DdfValue*>> walk;
    std::unordered_set<std::string> on_walk;
    const DdfValue* body = db_.find_definition("UnitModel", name);
    walk.emplace_back(name, body ? body : &empty);
    const DdfValue* base = nullptr;
    for (;;) {
        const DdfValue* parent = parent_of(*walk.back().second);
        if (!parent || !parent->is(DdfKind::string) || !parent->truthy()) break;
        if (on_walk.count(parent->text)) {
            // A cyclic chain is resolved the plain way and never reused as a base: from
            // another start the same cycle stops elsewhere.
            ++steps_;
            return cyclic_.emplace(name, resolve_unit_model(db_, name)).first->second;
        }
        const DdfValue* parent_body = db_.find_definition("UnitModel", parent->text);
        if (!parent_body || !parent_body->truthy()) break;
        on_walk.insert(walk.back().first);
        if (const auto known = resolved_.find(parent->text); known != resolved_.end()) {
            base = &known->second;
            break;
        }
        walk.emplace_back(parent->text, parent_body);
    }
    // A resolved parent's chain has no cycle, so it cannot come back to this walk: each
    // name's result is its parent's result with its own body applied.
    DdfValue result = base ? *base : DdfValue::block();
    for (auto it = walk.rbegin(); it != walk.rend(); ++it) {
        ++steps_;
        result = apply_body(std::move(result), *it->second);
        resolved_.insert_or_assign(it->first, result);
    }
    return resolved_.at(name);
}

std::vector<ModelVariant> collect_model_variants(const DdfValue& unit_model) {
    VariantCollector collector;
    const DdfValue* default_model = unit_model.find("DefaultModel");
    collector.add(default_model ? *default_model : DdfValue::none());
    if (const DdfValue* list = unit_model.find("DefaultModelList"); list && list->is(DdfKind::list)) {
        for (const DdfValue& model : list->items) collector.add(model);
    }
    if (const DdfValue* states = unit_model.find("States"); states && states->is(DdfKind::list)) {
        for (const DdfValue& state : states->items) {
            if (state.is(DdfKind::block)) collector.add_state(state);
        }
    }
    return collector.take();
}

std::string model_key(const DdfValue& value) {
    std::string_view text;
    const std::string display = display_text(value);
    text = display;
    text.remove_prefix(std::min(text.find_first_not_of('"'), text.size()));
    if (const std::size_t slash = text.rfind('/'); slash != std::string_view::npos) text.remove_prefix(slash + 1);
    if (const std::size_t slash = text.rfind('\\'); slash != std::string_view::npos) text.remove_prefix(slash + 1);
    return ascii_lower(remove_extension(text));
}

bool is_null_model(const DdfValue& value) { return !value.truthy() || model_key(value) == "null"; }

std::vector<ModelJob> list_model_jobs(const GameDb& db, const GameArchives& archives) {
    std::vector<ModelJob> jobs;
    std::unordered_set<std::string> listed;
    UnitModelResolver resolver(db);
    for (const std::string& unit : db.names_of_type("UnitModel")) {
        for (const ModelVariant& variant : collect_model_variants(resolver.resolve(unit))) {
            if (is_null_model(variant.model)) continue;
            const std::string key = model_key(variant.model);
            std::vector<std::string> kf_files;
            std::unordered_set<std::string> seen;
            for (const DdfValue& anim : variant.anims) {
                std::string kf = animation_file(model_key(anim));
                if (seen.insert(kf).second && archives.contains(kf)) kf_files.push_back(std::move(kf));
            }
            for (std::string_view suffix : kRegionSuffixes) {
                std::string candidate = key + std::string(suffix);
                if (archives.contains(model_file(candidate)) && listed.insert(candidate).second) {
                    jobs.push_back({unit, std::move(candidate), kf_files});
                }
            }
        }
    }
    return jobs;
}

}  // namespace tarkeep::data
