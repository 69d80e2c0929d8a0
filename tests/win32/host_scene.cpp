#include "tests/win32/host_scene.h"

#include <cstring>
#include <stdexcept>

// The slot functions are plain functions with the thiscall convention, the
// way the platform's compiler calls virtual members.
#pragma GCC diagnostic ignored "-Wattributes"
#define THISCALL __attribute__((thiscall))

namespace win32_host {
namespace {

Scene* current_scene = nullptr;

void CopyBits(float* out, uint32_t bits) { std::memcpy(out, &bits, 4); }

void THISCALL StraySlot(void* self) {
  if (current_scene == nullptr) return;
  Bone* bone = current_scene->FindBone(self);
  current_scene->Log(Call::kStraySlot, bone != nullptr ? bone->id : -1, 0);
}

void THISCALL SkeletonDestroy(Skeleton* self) {
  if (current_scene == nullptr) return;
  current_scene->Log(
      current_scene->IsSkeleton(self) ? Call::kDestroy : Call::kBadThis, -1, 0);
}

void THISCALL SkeletonSetFrame(Skeleton* self, int frame) {
  if (current_scene == nullptr) return;
  if (!current_scene->IsSkeleton(self)) {
    current_scene->Log(Call::kBadThis, -1, frame);
    return;
  }
  self->frame = frame;
  current_scene->Log(Call::kSetFrame, -1, frame);
}

const char* THISCALL BoneGetName(Bone* self) {
  Bone* bone =
      current_scene != nullptr ? current_scene->FindBone(self) : nullptr;
  if (bone == nullptr) {
    if (current_scene != nullptr) current_scene->Log(Call::kBadThis, -1, 0);
    return "";
  }
  current_scene->Log(Call::kGetName, bone->id, 0);
  return bone->name.c_str();
}

// Fills `count` reals from `first` on with the pose of the bone at the
// skeleton's current frame.
void FillPose(Bone* self, float* out, int first, int count, Call call) {
  Bone* bone =
      current_scene != nullptr ? current_scene->FindBone(self) : nullptr;
  if (bone == nullptr) {
    if (current_scene != nullptr) current_scene->Log(Call::kBadThis, -1, 0);
    for (int i = 0; i < count; ++i) CopyBits(out + i, 0);
    return;
  }
  const int32_t frame = current_scene->skeleton()->frame;
  for (int i = 0; i < count; ++i) {
    CopyBits(out + i, current_scene->pose()(bone->id, frame, first + i));
  }
  current_scene->Log(call, bone->id, frame);
}

void THISCALL BoneGetPosition(Bone* self, float* out) {
  FillPose(self, out, 0, 3, Call::kGetPosition);
}

void THISCALL BoneGetRotation(Bone* self, float* out) {
  FillPose(self, out, 3, 4, Call::kGetRotation);
}

// The tables, each with the compiler's word in front of slot 0 and one
// word past the last slot.
const Slot kSkeletonTable[] = {
    reinterpret_cast<Slot>(&StraySlot),
    reinterpret_cast<Slot>(&SkeletonDestroy),
    reinterpret_cast<Slot>(&SkeletonSetFrame),
    reinterpret_cast<Slot>(&StraySlot),
};
const Slot kBoneTable[] = {
    reinterpret_cast<Slot>(&StraySlot),
    reinterpret_cast<Slot>(&BoneGetName),
    reinterpret_cast<Slot>(&BoneGetPosition),
    reinterpret_cast<Slot>(&BoneGetRotation),
    reinterpret_cast<Slot>(&StraySlot),
};

}  // namespace

std::string Describe(const CallRecord& record) {
  static const char* const kNames[] = {
      "Destroy",     "SetFrame",   "GetName", "GetPosition",
      "GetRotation", "stray slot", "bad this"};
  std::string text = kNames[static_cast<int>(record.call)];
  text +=
      record.bone < 0 ? "(skeleton" : "(bone " + std::to_string(record.bone);
  return text + ", frame " + std::to_string(record.frame) + ")";
}

Scene::Scene(Pose pose)
    : pose_(pose), skeleton_{&kSkeletonTable[1], nullptr, this, 0} {
  if (current_scene != nullptr) throw std::logic_error("one scene at a time");
  current_scene = this;
}

Scene::~Scene() { current_scene = nullptr; }

int Scene::AddBone(const std::string& name) {
  const int id = static_cast<int>(bones_.size());
  bones_.push_back(Bone{&kBoneTable[1], nullptr, this, id, name, {}});
  return id;
}

void Scene::SetChildren(int parent, const std::vector<int>& children,
                        const std::vector<int>& blockSizes) {
  std::vector<void*> items;
  for (int child : children) items.push_back(&bones_.at(child));
  Bone& bone = bones_.at(parent);
  bone.childIds = children;
  bone.children = BuildRing(blocks_, items, blockSizes);
}

void Scene::SetRoot(int id) { skeleton_.root = &bones_.at(id); }

void Scene::Log(Call call, int bone, int32_t frame) {
  calls_.push_back(CallRecord{call, bone, frame});
}

Bone* Scene::FindBone(const void* self) {
  for (Bone& bone : bones_) {
    if (&bone == self) return &bone;
  }
  return nullptr;
}

kin_bytes::BoneNode Scene::Node(int id) const {
  const Bone& bone = bones_.at(id);
  kin_bytes::BoneNode node{bone.name, {}};
  for (int child : bone.childIds) node.children.push_back(Node(child));
  return node;
}

kin_bytes::BoneNode Scene::Tree() const { return Node(skeleton_.root->id); }

void Scene::AppendPreOrder(int id, std::vector<int>& out) const {
  out.push_back(id);
  for (int child : bones_.at(id).childIds) AppendPreOrder(child, out);
}

std::vector<int> Scene::PreOrder() const {
  std::vector<int> order;
  AppendPreOrder(skeleton_.root->id, order);
  return order;
}

std::vector<kin_bytes::Record> Scene::Records(int32_t frame) const {
  std::vector<kin_bytes::Record> records;
  for (int id : PreOrder()) {
    kin_bytes::Record record{};
    for (int c = 0; c < 7; ++c) record.bits[c] = pose_(id, frame, c);
    records.push_back(record);
  }
  return records;
}

Block* BuildRing(std::deque<Block>& store, const std::vector<void*>& items,
                 const std::vector<int>& blockSizes) {
  if (items.empty()) return nullptr;
  size_t next_item = 0;
  Block* head = nullptr;
  Block* last = nullptr;
  for (int size : blockSizes) {
    if (size < 1 || size > kBlockCapacity || next_item + size > items.size()) {
      throw std::logic_error("block sizes do not fit the items");
    }
    store.push_back(Block{});
    Block* block = &store.back();
    block->hostData = 0xB10C0000u + static_cast<uint32_t>(store.size());
    block->count = size;
    for (int i = 0; i < size; ++i) block->items[i] = items[next_item++];
    if (last != nullptr) last->next = block;
    if (head == nullptr) head = block;
    last = block;
  }
  if (next_item != items.size()) throw std::logic_error("items left over");
  last->next = head;
  return head;
}

}  // namespace win32_host
