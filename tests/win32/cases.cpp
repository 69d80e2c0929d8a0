#include "tests/win32/cases.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "tests/support/kin_bytes.h"
#include "tests/win32/event_list.h"
#include "tests/win32/host_scene.h"

namespace win32_host {
namespace {

namespace kb = kin_bytes;

constexpr int32_t kMax = INT32_MAX;
constexpr int32_t kMin = INT32_MIN;

// Ordinary reals (between 2 and 4) that differ for every bone, component
// and frame, so that a record written for the wrong bone or frame shows.
uint32_t OrdinaryPose(int bone, int32_t frame, int component) {
  return 0x40000000u | (static_cast<uint32_t>(bone) & 0xFFu) << 15 |
         (static_cast<uint32_t>(component) & 7u) << 12 |
         (static_cast<uint32_t>(frame) & 0xFFFu);
}

// Calls `ExportAnim` once and checks that it left its arguments to the
// caller. Clears the call log and the record of releases first.
int32_t Export(Context& c, Scene& scene, Info& info, const std::string& path,
               const std::string& label) {
  ClearHeapLog();
  scene.ClearCalls();
  const CallResult result =
      c.module.ExportAnim(scene.skeleton(), &info, path.c_str());
  c.check.Equal(
      result.bytesLeft, 12,
      label + ": ExportAnim leaves its 12 argument bytes to the caller");
  return static_cast<int32_t>(result.value);
}

// The file an export of `scene` over frames `first` to `last` must write.
std::string ExpectedFile(const Scene& scene, const std::string& name,
                         int32_t first, int32_t last, uint32_t valueA,
                         uint32_t valueB,
                         const std::vector<kb::Event>& events) {
  const int64_t count = int64_t{last} - first + 1;
  std::vector<std::string> chunks = {
      kb::Info(name, static_cast<int32_t>(count), valueA, valueB),
      kb::Events(events), kb::Skeleton(scene.Tree())};
  for (int64_t frame = first; frame <= last; ++frame) {
    chunks.push_back(kb::Frame(static_cast<int32_t>(frame - first),
                               scene.Records(static_cast<int32_t>(frame))));
  }
  return kb::File(chunks);
}

// The calls an export must make: every name once, in pre-order, while the
// bone tree is written; then per frame one `SetFrame` followed by one
// position and one rotation read per bone, in pre-order.
std::vector<CallRecord> ExpectedCalls(const Scene& scene, int32_t first,
                                      int32_t last) {
  const std::vector<int> order = scene.PreOrder();
  std::vector<CallRecord> calls;
  for (int id : order) calls.push_back({Call::kGetName, id, 0});
  for (int64_t wide = first; wide <= last; ++wide) {
    const int32_t frame = static_cast<int32_t>(wide);
    calls.push_back({Call::kSetFrame, -1, frame});
    for (int id : order) {
      calls.push_back({Call::kGetPosition, id, frame});
      calls.push_back({Call::kGetRotation, id, frame});
    }
  }
  return calls;
}

void CheckCalls(Context& c, const std::vector<CallRecord>& actual,
                const std::vector<CallRecord>& expected,
                const std::string& label) {
  size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
    ++i;
  std::string detail;
  if (i < actual.size() || i < expected.size()) {
    detail =
        "expected " + std::to_string(expected.size()) + " calls, got " +
        std::to_string(actual.size()) + "; call " + std::to_string(i) +
        " should be " +
        (i < expected.size() ? Describe(expected[i]) : std::string("none")) +
        " but is " +
        (i < actual.size() ? Describe(actual[i]) : std::string("none"));
  }
  c.check.That(detail.empty(),
               label + ": the module makes exactly the expected " +
                   std::to_string(expected.size()) + " scene calls",
               detail);
}

void CheckFile(Context& c, const std::string& path, const std::string& expected,
               const std::string& label) {
  std::string actual;
  if (!c.check.That(ReadBytes(path, actual),
                    label + ": the output file can be read", path)) {
    return;
  }
  c.check.SameBytes(actual, expected, label + ": the whole file");
}

// The positions in the module's heap log at which it released `block` while
// the block was not its own: once the host's block is released, the heap may
// hand the address to the module again, and a release after that is of the
// module's own block. A second release without that is a double release.
std::vector<size_t> HostBlockReleases(const void* block) {
  const std::vector<HeapEvent>& log = HeapLog();
  std::vector<size_t> releases;
  bool module_owns = false;
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].block != block) continue;
    if (!log[i].release) {
      module_owns = true;
    } else if (module_owns) {
      module_owns = false;
    } else {
      releases.push_back(i);
    }
  }
  return releases;
}

// Checks that the module released every name and record of `events` once,
// each name before its record, through msvcrt.dll's free.
void CheckReleased(Context& c, const EventList& events,
                   const std::string& label) {
  const std::vector<const void*>& blocks = events.blocks();
  std::string detail;
  size_t name_release = 0;
  for (size_t i = 0; i < blocks.size() && detail.empty(); ++i) {
    const std::vector<size_t> releases = HostBlockReleases(blocks[i]);
    const char* what = i % 2 == 0 ? "name" : "record";
    if (releases.size() != 1) {
      detail = "the " + std::string(what) + " of event " +
               std::to_string(i / 2) + " was released " +
               std::to_string(releases.size()) + " times";
    } else if (i % 2 == 0) {
      name_release = releases[0];
    } else if (releases[0] < name_release) {
      detail = "the record of event " + std::to_string(i / 2) +
               " was released before its name";
    }
  }
  c.check.That(detail.empty(),
               label + ": all " + std::to_string(blocks.size() / 2) +
                   " events released once through msvcrt free, name first",
               detail);
}

bool CheckNotReleased(Context& c, const EventList& events,
                      const std::string& label) {
  bool none = true;
  for (const void* block : events.blocks()) {
    if (!HostBlockReleases(block).empty()) none = false;
  }
  return c.check.That(none, label + ": no event is released");
}

// A skeleton of one childless bone.
int OneBone(Scene& scene, const std::string& name) {
  const int root = scene.AddBone(name);
  scene.SetRoot(root);
  return root;
}

Info MakeInfo(int32_t first, int32_t last, const char* name, uint32_t valueA,
              uint32_t valueB, Block* events) {
  return Info{first, last, valueA, name, valueB, events};
}

void EntryPoints(Context& c) {
  const CallResult type = c.module.ExporterType();
  c.check.Equal(type.value, 1, "ExporterType is 1");
  c.check.Equal(type.bytesLeft, 12,
                "ExporterType leaves the arguments to the caller");

  const CallResult first = c.module.Extension();
  const auto* text =
      reinterpret_cast<const char*>(static_cast<uintptr_t>(first.value));
  c.check.That(text != nullptr && std::string(text) == "KIN",
               "Extension is the text \"KIN\"");
  c.check.Equal(first.bytesLeft, 12,
                "Extension leaves the arguments to the caller");

  Scene scene(OrdinaryPose);
  OneBone(scene, "root");
  Info info = MakeInfo(0, 0, "idle", 0, 0, nullptr);
  c.check.Equal(Export(c, scene, info, c.dir.File("entry.kin"), "export"), 0,
                "an export between the calls succeeds");

  const CallResult again = c.module.Extension();
  c.check.Equal(again.value, first.value,
                "Extension returns the same pointer every time");
  c.check.Equal(c.module.ExporterType().value, 1,
                "ExporterType is still 1 after an export");
}

void WorkedExample(Context& c) {
  Scene scene(OrdinaryPose);
  OneBone(scene, "root");
  Info info = MakeInfo(0, 1, "walk", 0x11223344u, 0x55667788u, nullptr);
  const std::string path = c.dir.File("worked.kin");
  // A longer file already there is replaced, not appended to.
  c.check.That(WriteBytes(path, std::string(1000, 'x')),
               "an older, longer file is in place");

  c.check.Equal(Export(c, scene, info, path, "worked example"), 0,
                "ExportAnim returns 0");
  const std::string expected =
      ExpectedFile(scene, "walk", 0, 1, 0x11223344u, 0x55667788u, {});
  c.check.Equal(static_cast<int64_t>(expected.size()), 184,
                "the expected file has 184 bytes");
  c.check.SameBytes(expected.substr(0, 12), "VOXR" + kb::U32(176) + "ANIM",
                    "its header holds the container size 176");
  CheckFile(c, path, expected, "worked example");
  CheckCalls(c, scene.calls(), ExpectedCalls(scene, 0, 1), "worked example");
  c.check.Equal(scene.skeleton()->frame, 1,
                "the skeleton stays posed at the last frame");
}

void Padding(Context& c) {
  const std::string letters = "abcdefghi";
  for (size_t length = 0; length <= 9; ++length) {
    const std::string text = letters.substr(0, length);
    const std::string label = "texts of " + std::to_string(length) + " bytes";
    Scene scene(OrdinaryPose);
    OneBone(scene, text);
    EventList events;
    events.Add(3, 0xE0000000u + static_cast<uint32_t>(length), text);
    Info info = MakeInfo(3, 3, text.c_str(), 0, 0, events.Ring());
    const std::string path =
        c.dir.File("pad" + std::to_string(length) + ".kin");
    c.check.Equal(Export(c, scene, info, path, label), 0,
                  label + ": ExportAnim returns 0");
    events.GiveUp();
    CheckFile(
        c, path,
        ExpectedFile(scene, text, 3, 3, 0, 0,
                     {{0, 0xE0000000u + static_cast<uint32_t>(length), text}}),
        label);
  }
}

void RingBlocksAndPreOrder(Context& c) {
  Scene scene(OrdinaryPose);
  // Created out of tree order, so that an id never matches a pre-order
  // position: a record written for the wrong bone shows in its values.
  const int h = scene.AddBone("H");
  const int c_bone = scene.AddBone("C");
  const int a = scene.AddBone("A");
  const int r = scene.AddBone("R");
  const int f = scene.AddBone("F");
  const int b = scene.AddBone("B");
  const int d = scene.AddBone("D");
  const int g = scene.AddBone("G");
  const int e = scene.AddBone("E");
  scene.SetRoot(r);
  scene.SetChildren(r, {a, b, c_bone}, {2, 1});  // two blocks: [A B] [C]
  scene.SetChildren(a, {d, e, f}, {1, 1, 1});    // three blocks of one
  scene.SetChildren(d, {h}, {1});                // a block that is its own ring
  scene.SetChildren(c_bone, {g}, {1});
  const std::vector<int> pre_order = {r, a, d, h, e, f, b, c_bone, g};
  c.check.That(scene.PreOrder() == pre_order,
               "the host's tree is R A D H E F B C G");

  Info info = MakeInfo(4, 6, "tree", 1, 2, nullptr);
  const std::string path = c.dir.File("tree.kin");
  c.check.Equal(Export(c, scene, info, path, "ring blocks"), 0,
                "ExportAnim returns 0");
  CheckFile(c, path, ExpectedFile(scene, "tree", 4, 6, 1, 2, {}),
            "ring blocks and pre-order");
  CheckCalls(c, scene.calls(), ExpectedCalls(scene, 4, 6),
             "ring blocks and pre-order");
}

void DeepChain(Context& c) {
  Scene scene(OrdinaryPose);
  constexpr int kDepth = 2000;
  for (int i = 0; i < kDepth; ++i) scene.AddBone("b" + std::to_string(i));
  scene.SetRoot(0);
  for (int i = 0; i + 1 < kDepth; ++i) scene.SetChildren(i, {i + 1}, {1});
  Info info = MakeInfo(0, 1, "chain", 0, 0, nullptr);
  const std::string path = c.dir.File("chain.kin");
  c.check.Equal(Export(c, scene, info, path, "deep chain"), 0,
                "a chain of 2000 bones exports on the host's thread");
  CheckFile(c, path, ExpectedFile(scene, "chain", 0, 1, 0, 0, {}),
            "deep chain");
}

void Events(Context& c) {
  Scene scene(OrdinaryPose);
  OneBone(scene, "root");
  EventList events;
  events.Add(9, 0x00000001u, "before");
  events.Add(10, 0x7F800001u, "start");  // a signalling NaN's bits: raw
  events.Add(15, 0xFFFFFFFFu, "mid");
  events.Add(kMin, 0x2u, "min");
  events.Add(15, 0x80000000u, "same frame");
  events.Add(21, 0x3u, "after");
  events.Add(20, 0x12345678u, "end");
  events.Add(kMax, 0x4u, "max");
  Info info = MakeInfo(10, 20, "events", 0, 0, events.Ring({3, 4, 1}));
  const std::string path = c.dir.File("events.kin");
  c.check.Equal(Export(c, scene, info, path, "events"), 0,
                "ExportAnim returns 0");
  events.GiveUp();
  CheckFile(c, path,
            ExpectedFile(scene, "events", 10, 20, 0, 0,
                         {{0, 0x7F800001u, "start"},
                          {5, 0xFFFFFFFFu, "mid"},
                          {5, 0x80000000u, "same frame"},
                          {10, 0x12345678u, "end"}}),
            "in-range events in list order at their offsets");
  CheckReleased(c, events, "events");
}

void SingleFrame(Context& c) {
  Scene scene(OrdinaryPose);
  OneBone(scene, "root");
  EventList events;
  events.Add(6, 1, "early");
  events.Add(7, 2, "on");
  events.Add(8, 3, "late");
  Info info = MakeInfo(7, 7, "one", 0, 0, events.Ring());
  const std::string path = c.dir.File("single.kin");
  c.check.Equal(Export(c, scene, info, path, "single frame"), 0,
                "ExportAnim returns 0");
  events.GiveUp();
  CheckFile(c, path, ExpectedFile(scene, "one", 7, 7, 0, 0, {{0, 2, "on"}}),
            "one frame chunk, offset 0");
  CheckCalls(c, scene.calls(), ExpectedCalls(scene, 7, 7), "single frame");
  CheckReleased(c, events, "single frame");
}

void ReversedRange(Context& c) {
  Scene scene(OrdinaryPose);
  const int root = OneBone(scene, "root");
  const int child = scene.AddBone("kid");
  scene.SetChildren(root, {child}, {1});
  EventList events;
  events.Add(2, 1, "at end");
  events.Add(5, 2, "at start");
  events.Add(3, 3, "between");
  Info info = MakeInfo(5, 2, "back", 7, 8, events.Ring({2, 1}));
  const std::string path = c.dir.File("reversed.kin");
  c.check.Equal(Export(c, scene, info, path, "reversed range"), 0,
                "ExportAnim returns 0");
  events.GiveUp();
  const std::string expected = kb::File(
      {kb::Info("back", -2, 7, 8), kb::Events({}), kb::Skeleton(scene.Tree())});
  CheckFile(c, path, expected, "frame count -2, no events, no frame chunks");
  CheckCalls(c, scene.calls(), ExpectedCalls(scene, 5, 2),
             "reversed range (no SetFrame)");
  CheckReleased(c, events, "reversed range");
}

void RangeEnds(Context& c) {
  struct Range {
    int32_t first;
    int32_t last;
    const char* label;
  };
  const Range ranges[] = {{kMax - 2, kMax, "the range ending at INT32_MAX"},
                          {kMax, kMax, "the single frame INT32_MAX"},
                          {kMin, kMin + 1, "the range starting at INT32_MIN"}};
  int file = 0;
  for (const Range& range : ranges) {
    const std::string label = range.label;
    Scene scene(OrdinaryPose);
    OneBone(scene, "root");
    EventList events;
    events.Add(range.first, 1, "first");
    events.Add(range.last, 2, "last");
    if (range.first != kMin) events.Add(range.first - 1, 3, "before");
    if (range.last != kMax) events.Add(range.last + 1, 4, "after");
    Info info = MakeInfo(range.first, range.last, "edge", 0, 0, events.Ring());
    const std::string path =
        c.dir.File("edge" + std::to_string(file++) + ".kin");
    c.check.Equal(Export(c, scene, info, path, label), 0,
                  label + ": ExportAnim returns 0");
    events.GiveUp();
    const int32_t last_offset =
        static_cast<int32_t>(int64_t{range.last} - range.first);
    CheckFile(c, path,
              ExpectedFile(scene, "edge", range.first, range.last, 0, 0,
                           {{0, 1, "first"}, {last_offset, 2, "last"}}),
              label);
    CheckCalls(c, scene.calls(), ExpectedCalls(scene, range.first, range.last),
               label);
    CheckReleased(c, events, label);
  }
}

// Bit patterns that a copy through floating-point registers would change or
// that are easy to lose: signalling NaNs (the x87 unit makes them quiet),
// NaN payloads, both zeros, the smallest subnormal, infinities.
constexpr uint32_t kRawBits[2][7] = {
    {0x7F800001u, 0xFF800001u, 0x7FBFFFFFu, 0x7FC00001u, 0x80000000u,
     0x00000001u, 0x7F800000u},
    {0xFFFFFFFFu, 0xFF800000u, 0x807FFFFFu, 0x00800000u, 0x7F7FFFFFu,
     0x00000000u, 0xFFA00005u},
};

uint32_t RawPose(int bone, int32_t frame, int component) {
  // Frame 1 swaps the two rows, so that each frame's records are its own.
  return kRawBits[(bone + frame) & 1][component];
}

void RawBits(Context& c) {
  Scene scene(RawPose);
  const int root = OneBone(scene, "raw");
  const int child = scene.AddBone("nan");
  scene.SetChildren(root, {child}, {1});
  EventList events;
  events.Add(0, 0x7FA00000u, "snan");
  Info info = MakeInfo(0, 1, "bits", 0x7F800001u, 0xFFBFFFFFu, events.Ring());
  const std::string path = c.dir.File("raw.kin");
  c.check.Equal(Export(c, scene, info, path, "raw bits"), 0,
                "ExportAnim returns 0");
  events.GiveUp();
  CheckFile(c, path,
            ExpectedFile(scene, "bits", 0, 1, 0x7F800001u, 0xFFBFFFFFu,
                         {{0, 0x7FA00000u, "snan"}}),
            "every real and opaque word bit for bit");
}

void UnopenablePath(Context& c) {
  const std::string missing_dir = c.dir.path() + "\\no such directory";
  const std::string paths[] = {missing_dir + "\\out.kin", c.dir.path(), ""};
  const char* labels[] = {"a file in a missing directory", "a directory",
                          "an empty name"};
  for (int i = 0; i < 3; ++i) {
    const std::string label = labels[i];
    Scene scene(OrdinaryPose);
    OneBone(scene, "root");
    EventList events;
    events.Add(0, 1, "kept");
    events.Add(1, 2, "kept too");
    Info info = MakeInfo(0, 1, "none", 0, 0, events.Ring());
    c.check.Equal(Export(c, scene, info, paths[i], label), 16,
                  label + ": ExportAnim returns 16");
    c.check.That(scene.calls().empty(), label + ": no call on any scene object",
                 scene.calls().empty()
                     ? ""
                     : "first call: " + Describe(scene.calls()[0]));
    // The events are still the host's: the list releases them itself,
    // unless the module did already.
    if (!CheckNotReleased(c, events, label)) events.GiveUp();
  }
  c.check.That(!PathExists(missing_dir), "no directory is created");
}

}  // namespace

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"entry_points", EntryPoints},
      {"worked_example", WorkedExample},
      {"padding", Padding},
      {"ring_blocks_preorder", RingBlocksAndPreOrder},
      {"deep_chain", DeepChain},
      {"events", Events},
      {"single_frame", SingleFrame},
      {"reversed_range", ReversedRange},
      {"range_ends", RangeEnds},
      {"raw_bits", RawBits},
      {"unopenable_path", UnopenablePath},
  };
  return cases;
}

}  // namespace win32_host
