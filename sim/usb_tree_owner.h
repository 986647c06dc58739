// The owner of a simulated USB tree: the process that built it, recorded in
// the tree so that a later simulator can tell a tree whose owner was killed
// (SIGKILL leaves no chance to clean up) from one that is still in use.
#pragma once

#include <filesystem>
#include <string>

namespace velloran::sim {

// Records this process as the owner of the tree at root.
bool RecordTreeOwner(const std::filesystem::path &root);

// Removes the trees named prefix* in folder whose recorded owner no longer
// runs. Trees without a record (one that is being built, or another
// program's) are left alone.
void RemoveOrphanedTrees(const std::filesystem::path &folder, const std::string &prefix);

}  // namespace velloran::sim
