// Checking that every block reference of a NIF file is -1 or a valid block index.
#include <string>

#include "data/nif/nif_file.h"

namespace tarkeep::data {

namespace {

class ReferenceChecker {
public:
    explicit ReferenceChecker(const NifFile& file) : block_count_(static_cast<std::int64_t>(file.blocks.size())) {}

    void check(const NiObject& block, std::size_t index) {
        index_ = index;
        if (const auto* net = dynamic_cast<const NiObjectNET*>(&block)) {
            field("extra_data", net->extra_data);
            field("controller", net->controller);
        }
        if (const auto* av = dynamic_cast<const NiAVObject*>(&block)) field("properties", av->properties);
        if (const auto* node = dynamic_cast<const NiNode*>(&block)) {
            field("children", node->children);
            field("effects", node->effects);
        }
        if (const auto* lod = dynamic_cast<const NiLODNode*>(&block)) field("lod_data", lod->lod_data);
        if (const auto* geometry = dynamic_cast<const NiGeometry*>(&block)) {
            field("data", geometry->data);
            field("skin_instance", geometry->skin_instance);
        }
        if (const auto* skin = dynamic_cast<const NiSkinInstance*>(&block)) {
            field("data", skin->data);
            field("bones", skin->bones);
        }
        if (const auto* skin = dynamic_cast<const NiSkinData*>(&block)) field("skin_partition", skin->skin_partition);
        if (const auto* controller = dynamic_cast<const NiDataController*>(&block)) field("data", controller->data);
        if (const auto* sequence = dynamic_cast<const NiControllerSequence*>(&block)) {
            field("text_keys", sequence->text_keys);
        }
        if (const auto* modifier = dynamic_cast<const NiParticleModifier*>(&block)) {
            field("controller", modifier->controller);
        }
    }

private:
    void field(const char* name, NifRef value) const {
        if (value >= -1 && value < block_count_) return;
        throw NifError("block " + std::to_string(index_) + " " + name + " -> " + std::to_string(value) +
                       " out of range");
    }
    void field(const char* name, const std::vector<NifRef>& values) const {
        for (const NifRef value : values) field(name, value);
    }

    std::int64_t block_count_;
    std::size_t index_ = 0;
};

}  // namespace

void check_nif_references(const NifFile& file) {
    ReferenceChecker checker(file);
    for (std::size_t i = 0; i < file.blocks.size(); ++i) checker.check(*file.blocks[i], i);
}

}  // namespace tarkeep::data
