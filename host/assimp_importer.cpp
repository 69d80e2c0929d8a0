#include "host/assimp_importer.h"

#include <assimp/config.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cctype>
#include <filesystem>
#include <map>
#include <new>
#include <utility>

#include "host/ticks.h"

namespace kin::host {
namespace {

Vec3 ToVec3(const aiVector3D& v) { return {v.x, v.y, v.z}; }
Quat ToQuat(const aiQuaternion& q) { return {q.w, q.x, q.y, q.z}; }

// glTF nodes without a name come out of Assimp as "nodes[N]".
bool IsGeneratedGltfName(const std::string& name) {
  const std::string prefix = "nodes[";
  if (name.size() < prefix.size() + 2 || name.rfind(prefix, 0) != 0 ||
      name.back() != ']') {
    return false;
  }
  const std::string digits =
      name.substr(prefix.size(), name.size() - prefix.size() - 1);
  return std::all_of(digits.begin(), digits.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
}

// Copies the node tree in pre-order, iteratively (files can nest deeply).
void CopyNodes(const aiNode* root, SourceScene* scene,
               std::map<std::string, int>* byName) {
  std::vector<std::pair<const aiNode*, int>> stack{{root, -1}};
  while (!stack.empty()) {
    const auto [node, parent] = stack.back();
    stack.pop_back();
    SourceNode copy;
    copy.name = node->mName.C_Str();
    copy.parent = parent;
    copy.generatedName = IsGeneratedGltfName(copy.name);
    aiVector3D scale, position;
    aiQuaternion rotation;
    node->mTransformation.Decompose(scale, rotation, position);
    copy.position = ToVec3(position);
    copy.rotation = Normalized(ToQuat(rotation));
    copy.scale = ToVec3(scale);
    const int index = static_cast<int>(scene->nodes.size());
    byName->emplace(copy.name, index);  // the first node of a name wins
    scene->nodes.push_back(std::move(copy));
    if (node->mChildren == nullptr) continue;
    for (unsigned i = node->mNumChildren; i-- > 0;) {
      if (node->mChildren[i] != nullptr) {
        stack.emplace_back(node->mChildren[i], index);
      }
    }
  }
}

void CopySkin(const aiScene& source, const std::map<std::string, int>& byName,
              SourceScene* scene) {
  std::vector<char> seen(scene->nodes.size(), 0);
  for (unsigned m = 0; m < source.mNumMeshes && source.mMeshes; ++m) {
    const aiMesh* mesh = source.mMeshes[m];
    if (mesh == nullptr || mesh->mBones == nullptr) continue;
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
      if (mesh->mBones[b] == nullptr) continue;
      const std::string name = mesh->mBones[b]->mName.C_Str();
      const auto found = byName.find(name);
      if (found == byName.end()) {
        scene->warnings.push_back("skin joint '" + name +
                                  "' names no node; it is left out");
        continue;
      }
      if (!seen[found->second]) {
        seen[found->second] = 1;
        scene->skinJoints.push_back(found->second);
      }
    }
  }
}

SourceAnimation CopyAnimation(const aiAnimation& source,
                              const std::map<std::string, int>& byName,
                              std::vector<std::string>* warnings) {
  SourceAnimation animation;
  animation.name = source.mName.C_Str();
  animation.ticksPerSecond = source.mTicksPerSecond;
  const double rate =
      EffectiveTickRate(source.mTicksPerSecond, animation.name, warnings);
  animation.durationSeconds = source.mDuration / rate;
  int unbound = 0;
  for (unsigned c = 0; c < source.mNumChannels && source.mChannels; ++c) {
    const aiNodeAnim* channel = source.mChannels[c];
    if (channel == nullptr) continue;
    const auto found = byName.find(channel->mNodeName.C_Str());
    if (found == byName.end()) {
      ++unbound;
      continue;
    }
    SourceChannel copy;
    copy.node = found->second;
    for (unsigned k = 0;
         k < channel->mNumPositionKeys && channel->mPositionKeys; ++k) {
      const aiVectorKey& key = channel->mPositionKeys[k];
      copy.positions.push_back({key.mTime / rate, ToVec3(key.mValue)});
    }
    for (unsigned k = 0;
         k < channel->mNumRotationKeys && channel->mRotationKeys; ++k) {
      const aiQuatKey& key = channel->mRotationKeys[k];
      copy.rotations.push_back({key.mTime / rate, ToQuat(key.mValue)});
    }
    for (unsigned k = 0; k < channel->mNumScalingKeys && channel->mScalingKeys;
         ++k) {
      const aiVectorKey& key = channel->mScalingKeys[k];
      copy.scales.push_back({key.mTime / rate, ToVec3(key.mValue)});
    }
    animation.channels.push_back(std::move(copy));
  }
  if (unbound > 0) {
    warnings->push_back("animation '" + animation.name +
                        "': " + std::to_string(unbound) +
                        " channels name no node and are ignored");
  }
  return animation;
}

std::string LowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return extension;
}

}  // namespace

ImportResult AssimpImporter::Import(const std::string& path) const {
  ImportResult result;
  try {
    Assimp::Importer importer;
    // BVH: no stick-figure mesh, whose bones would pass for a skin.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
    // FBX: fold pivots into the nodes rather than adding helper nodes.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    // Collada: the nodes' names, not their ids.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    const aiScene* source = importer.ReadFile(path, 0);
    if (source == nullptr) {
      result.error = importer.GetErrorString();
      if (result.error.empty()) result.error = "the format is not recognised";
      return result;
    }
    if (source->mRootNode == nullptr) {
      result.error = "the file holds no node hierarchy";
      return result;
    }
    SourceScene& scene = result.scene;
    std::map<std::string, int> byName;
    CopyNodes(source->mRootNode, &scene, &byName);
    CopySkin(*source, byName, &scene);
    for (unsigned a = 0; a < source->mNumAnimations && source->mAnimations;
         ++a) {
      if (source->mAnimations[a] == nullptr) continue;
      scene.animations.push_back(
          CopyAnimation(*source->mAnimations[a], byName, &scene.warnings));
    }
    // BVH and FBX key by frame: their tick rate is the file's frame rate.
    const std::string extension = LowerExtension(path);
    if ((extension == ".bvh" || extension == ".fbx") &&
        !scene.animations.empty()) {
      const double rate = scene.animations[0].ticksPerSecond;
      if (rate > 0 && rate < 1e6) scene.frameRate = rate;
    }
    // A BVH file names no animation: the importer's own "Motion" is not a
    // name, so the export falls back to the file's stem.
    if (extension == ".bvh") {
      for (SourceAnimation& animation : scene.animations)
        animation.name.clear();
    }
    result.ok = true;
  } catch (const std::bad_alloc&) {
    result = ImportResult{};
    result.error = "out of memory";
  } catch (const std::exception& e) {
    result = ImportResult{};
    result.error = e.what();
  }
  return result;
}

}  // namespace kin::host
