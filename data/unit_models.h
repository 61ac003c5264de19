// Unit model definitions: Parent chains, model variants and the model jobs of the pipelines.
#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/ddf_value.h"

namespace tarkeep::data {

class GameArchives;
class GameDb;

// One model a unit can show, with the animations its states play on it.
struct ModelVariant {
    DdfValue model;
    std::vector<DdfValue> anims;
};

// One model of the model pipeline: the first unit using it, its name in the archives
// (with region suffix) and the animation files that exist.
struct ModelJob {
    std::string unit;
    std::string model;
    std::vector<std::string> kf_files;
};

// The unit model `name` with its Parent chain applied: parents first, each child's
// entries replacing or extending them, States merged by StateName. A chain that comes
// back to a name already visited stops there; unknown names give an empty block.
DdfValue resolve_unit_model(const GameDb& db, std::string_view name);

// resolve_unit_model for many units at once: each unit of an acyclic chain is resolved
// once and its result reused by every unit below it, so a long chain costs linear time.
class UnitModelResolver {
public:
    explicit UnitModelResolver(const GameDb& db) : db_(db) {}
    const DdfValue& resolve(const std::string& name);
    // Chain steps applied so far (for tests of the bound).
    std::size_t steps() const { return steps_; }

private:
    const GameDb& db_;
    std::unordered_map<std::string, DdfValue> resolved_;  // acyclic chains: reusable as bases
    std::unordered_map<std::string, DdfValue> cyclic_;
    std::size_t steps_ = 0;
};

// The models of a resolved unit model (DefaultModel, DefaultModelList, each state's
// ModelName) with the animations of the states attached to them.
std::vector<ModelVariant> collect_model_variants(const DdfValue& unit_model);

// A model or animation value as a bare lower-case file stem.
std::string model_key(const DdfValue& value);
bool is_null_model(const DdfValue& value);

// One job per model file (in any region variant) that some unit model uses and the
// archives hold, for the first unit in definition order that uses it.
std::vector<ModelJob> list_model_jobs(const GameDb& db, const GameArchives& archives);

}  // namespace tarkeep::data
