#pragma once
#include <string>
#include <string_view>
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
