// Whole KIN files written through windows of many sizes, compared byte for
// byte with files built independently by kin_bytes. The files are larger
// than the default window, so chunk patches land inside the window, across
// its edges and, for the container, far outside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "animfile/info_chunks.h"
#include "chunkfile/binofstream.h"
#include "chunkfile/chunk.h"
#include "chunkfile/format.h"
#include "plugin/kinexport.h"
#include "scene/scene.h"
#include "tests/chunkfile/chunkfile_test_support.h"
#include "tests/support/kin_bytes.h"

namespace {

using kin_test::ReadFile;

// The pose reals of bone `bone` at `frame`: plain bit patterns of finite
// reals, different for every bone, frame and component.
uint32_t PoseBits(int bone, int frame, int component) {
  return 0x3F800000u +
         static_cast<uint32_t>((bone * 131 + frame * 7 + component) & 0x7FFFF);
}

class TestSkeleton;

class TestBone final : public Bone {
 public:
  TestBone(const TestSkeleton& skeleton, int index, std::string name)
      : skeleton_(skeleton), index_(index), name_(std::move(name)) {}
  const char* GetName() override { return name_.c_str(); }
  void GetPosition(float out[3]) override { Fill(out, 0, 3); }
  void GetRotation(float out[4]) override { Fill(out, 3, 4); }

 private:
  void Fill(float* out, int first, int count);

  const TestSkeleton& skeleton_;
  int index_;
  std::string name_;
};

class TestSkeleton final : public Skeleton {
 public:
  void Destroy() override {}
  void SetFrame(int frame) override { frame_ = frame; }
  int frame() const { return frame_; }

 private:
  int frame_ = -1;
};

void TestBone::Fill(float* out, int first, int count) {
  for (int k = 0; k < count; ++k) {
    const uint32_t bits = PoseBits(index_, skeleton_.frame(), first + k);
    std::memcpy(&out[k], &bits, 4);
  }
}

// A tree of `bones` bones where bone i hangs under bone (i - 1) / fanOut, with
// names of lengths 1 to 9 so that every padding occurs; children lists are
// split into blocks of at most two items. `Expected` builds the same file
// with kin_bytes.
class TestScene {
 public:
  TestScene(int bones, int32_t first, int32_t last, int fanOut = 3) {
    for (int i = 0; i < bones; ++i) {
      bones_.push_back(std::make_unique<TestBone>(
          skeleton_, i,
          std::string(1 + i % 9, static_cast<char>('a' + i % 26))));
      names_.push_back(std::string(1 + i % 9, static_cast<char>('a' + i % 26)));
      children_.emplace_back();
      if (i > 0) children_[static_cast<size_t>((i - 1) / fanOut)].push_back(i);
    }
    for (int i = 0; i < bones; ++i) Link(i);
    skeleton_.root = bones_[0].get();
    info_.startFrame = first;
    info_.endFrame = last;
    info_.infoValueA = 0xA1B2C3D4u;
    info_.name = "window test";
    info_.infoValueB = 0x01020304u;
    info_.events.head = nullptr;
  }
  ~TestScene() {
    for (void* block : blocks_) ::operator delete(block);
  }

  Skeleton& skeleton() { return skeleton_; }
  AnimInfo& info() { return info_; }

  std::string Expected() const {
    std::vector<std::string> chunks;
    const int32_t frames = info_.endFrame - info_.startFrame + 1;
    chunks.push_back(kin_bytes::Info(info_.name, frames, info_.infoValueA,
                                     info_.infoValueB));
    chunks.push_back(kin_bytes::Events({}));
    chunks.push_back(kin_bytes::Skeleton(Node(0)));
    std::vector<int> order;
    PreOrder(0, order);
    for (int32_t f = 0; f < frames; ++f) {
      std::vector<kin_bytes::Record> records;
      for (int bone : order) {
        kin_bytes::Record record{};
        for (int k = 0; k < 7; ++k) {
          record.bits[k] = PoseBits(bone, info_.startFrame + f, k);
        }
        records.push_back(record);
      }
      chunks.push_back(kin_bytes::Frame(f, records));
    }
    return kin_bytes::File(chunks);
  }

 private:
  void Link(int parent) {
    const std::vector<int>& kids = children_[parent];
    PtrBlock<Bone>* head = nullptr;
    PtrBlock<Bone>* tail = nullptr;
    for (size_t at = 0; at < kids.size(); at += 2) {
      const int32_t count = kids.size() - at >= 2 ? 2 : 1;
      void* memory =
          ::operator new(offsetof(PtrBlock<Bone>, items) + sizeof(Bone*) * 2);
      blocks_.push_back(memory);
      auto* block = new (memory) PtrBlock<Bone>;
      block->hostData = 0;
      block->count = count;
      Bone** items = block->items;
      for (int32_t k = 0; k < count; ++k) {
        items[k] = bones_[static_cast<size_t>(kids[at + k])].get();
      }
      if (head == nullptr) head = block;
      if (tail != nullptr) tail->next = block;
      tail = block;
      block->next = head;
    }
    bones_[static_cast<size_t>(parent)]->children.head = head;
  }
  kin_bytes::BoneNode Node(int bone) const {
    kin_bytes::BoneNode node{names_[static_cast<size_t>(bone)], {}};
    for (int child : children_[static_cast<size_t>(bone)]) {
      node.children.push_back(Node(child));
    }
    return node;
  }
  void PreOrder(int bone, std::vector<int>& order) const {
    order.push_back(bone);
    for (int child : children_[static_cast<size_t>(bone)]) {
      PreOrder(child, order);
    }
  }

  TestSkeleton skeleton_;
  std::vector<std::unique_ptr<TestBone>> bones_;
  std::vector<std::string> names_;
  std::vector<std::vector<int>> children_;
  std::vector<void*> blocks_;
  AnimInfo info_{};
};

// Writes the container's head and every chunk before the frames, the way
// the export driver does, after `lead` bytes written straight to the
// stream. Returns the container's position for `EndChunk`.
int32_t WriteFileHead(std::ostream& stream, TestScene& scene,
                      const std::string& lead = "") {
  stream.write(lead.data(), static_cast<std::streamsize>(lead.size()));
  kin::WriteTag(stream, kin::kContainerTag);
  const int32_t container = kin::BeginChunk(stream);
  kin::WriteTag(stream, kin::kFormTag);
  kin::WriteInfoChunk(stream, scene.info());
  kin::WriteEventChunk(stream, scene.info());
  scene.skeleton().WriteSkeleton(stream);
  return container;
}

class WindowFileTest : public kin_test::TempDirTest,
                       public ::testing::WithParamInterface<size_t> {};

// 40 bones over 1,000 frames: about 1.1 MB, with a skeleton chunk of nested
// bone chunks and frames of 1,136 bytes, written the way the export driver
// writes them.
TEST_P(WindowFileTest, WritersThroughAnyWindowGiveTheIndependentBytes) {
  TestScene scene(40, 1000, 1999);
  const std::string expected = scene.Expected();
  ASSERT_GT(expected.size(), kin::binofstream::kDefaultWindowSize);

  const std::string path = Path("window.kin");
  kin::binofstream stream(path.c_str(), GetParam());
  ASSERT_FALSE(stream.fail());
  const int32_t container = WriteFileHead(stream, scene);
  // Positions stay true file offsets: after each frame, the end of that
  // frame in the expected file.
  const int32_t frames = scene.info().endFrame - scene.info().startFrame + 1;
  const std::streamoff frameSize = 8 + 8 + 28 * 40;
  const std::streamoff framesStart =
      static_cast<std::streamoff>(expected.size()) - frames * frameSize;
  for (int frame = scene.info().startFrame; frame <= scene.info().endFrame;
       ++frame) {
    scene.skeleton().WriteFrame(stream, frame, scene.info().startFrame);
    ASSERT_EQ(stream.tellp(),
              framesStart + (frame - scene.info().startFrame + 1) * frameSize)
        << "frame " << frame;
  }
  kin::EndChunk(stream, container);
  stream.close();
  ASSERT_FALSE(stream.fail());

  const std::string actual = ReadFile(path);
  ASSERT_EQ(actual.size(), expected.size());
  EXPECT_TRUE(actual == expected) << "the files differ";
}

INSTANTIATE_TEST_SUITE_P(
    WindowSizes, WindowFileTest,
    ::testing::Values(1, 7, 1136, 1137, 65536,
                      kin::binofstream::kDefaultWindowSize));

class ExportThroughWindowTest : public kin_test::TempDirTest {};

TEST_F(ExportThroughWindowTest, ExportAnimGivesTheIndependentBytes) {
  TestScene scene(40, -5, 994);
  const std::string path = Path("export.kin");
  ASSERT_EQ(ExportAnim(&scene.skeleton(), &scene.info(), path.c_str()),
            kExportSucceeded);
  const std::string actual = ReadFile(path);
  const std::string expected = scene.Expected();
  ASSERT_EQ(actual.size(), expected.size());
  EXPECT_TRUE(actual == expected) << "the files differ";
}

// A chain deeper than the levels the frame walk keeps inline.
TEST_F(ExportThroughWindowTest, DeepChainGivesTheIndependentBytes) {
  TestScene scene(100, 0, 2, 1);
  const std::string path = Path("chain.kin");
  ASSERT_EQ(ExportAnim(&scene.skeleton(), &scene.info(), path.c_str()),
            kExportSucceeded);
  EXPECT_TRUE(ReadFile(path) == scene.Expected()) << "the files differ";
}

// A file small enough to stay in the window until the end: the write
// failure shows only when the driver closes the stream, and must still give
// 16 and leave no partial file.
TEST_F(ExportThroughWindowTest, FailureSeenOnlyAtCloseGives16) {
  const std::string path = Path("limited.kin");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {
      4096, 4096
    };
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(100);
    TestScene scene(4, 0, 99);  // about 13 KB: 100 frames of 128 bytes
    if (scene.Expected().size() >= kin::binofstream::kDefaultWindowSize) {
      _exit(101);
    }
    const int result =
        ExportAnim(&scene.skeleton(), &scene.info(), path.c_str());
    if (result != kExportFailed) _exit(1);
    _exit(std::filesystem::exists(path) ? 2 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "1: the export reported success; 2: the partial file was left";
}

// The chunks of a whole file, one `WriteFrame` per frame, after `lead` bytes
// written straight to the stream.
void WriteWholeFile(std::ostream& stream, TestScene& scene,
                    const std::string& lead = "") {
  const int32_t container = WriteFileHead(stream, scene, lead);
  for (int frame = scene.info().startFrame; frame <= scene.info().endFrame;
       ++frame) {
    scene.skeleton().WriteFrame(stream, frame, scene.info().startFrame);
  }
  kin::EndChunk(stream, container);
}

// The writers reach binofstream's window directly, any other stream through
// its buffer's virtual calls; the bytes must not depend on the path taken.
// A lead of 1 to 3 bytes leaves every later put position off a float's
// alignment, where bone records cannot be filled in the window in place; a
// tied or unit-buffered binofstream must take the general path through its
// window.
class PathsTest : public kin_test::TempDirTest,
                  public ::testing::WithParamInterface<std::string> {};

TEST_P(PathsTest, WindowAndGeneralPathsWriteTheSameBytes) {
  TestScene scene(40, 0, 299);
  std::ostringstream general;
  WriteWholeFile(general, scene, GetParam());
  ASSERT_TRUE(general.good());
  ASSERT_TRUE(general.str() == GetParam() + scene.Expected())
      << "the general path differs from the independent bytes";

  struct Case {
    const char* name;
    size_t window;
    bool tie;
    bool unitbuf;
  };
  const Case cases[] = {
      {"window", kin::binofstream::kDefaultWindowSize, false, false},
      {"small window", 1137, false, false},
      {"tied", kin::binofstream::kDefaultWindowSize, true, false},
      {"unit-buffered", 4096, false, true}};
  std::ostringstream tie;
  for (const Case& c : cases) {
    const std::string path = Path("paths.kin");
    {
      kin::binofstream stream(path.c_str(), c.window);
      ASSERT_FALSE(stream.fail()) << c.name;
      if (c.tie) stream.tie(&tie);
      if (c.unitbuf) stream.setf(std::ios::unitbuf);
      WriteWholeFile(stream, scene, GetParam());
      stream.close();
      ASSERT_FALSE(stream.fail()) << c.name;
    }
    EXPECT_TRUE(ReadFile(path) == general.str())
        << c.name << ": the file differs from the general path's bytes";
  }
}

INSTANTIATE_TEST_SUITE_P(Leads, PathsTest,
                         ::testing::Values("", "x", "xy", "xyz"));

// A binofstream whose buffer was swapped for another: the writers must
// write to the buffer the stream has now, not to the window it registered.
TEST_F(ExportThroughWindowTest, SwappedBufferGetsTheBytes) {
  TestScene scene(5, 0, 9);
  const std::string path = Path("swapped.kin");
  kin::binofstream stream(path.c_str());
  ASSERT_FALSE(stream.fail());
  std::stringbuf other;
  std::ostream& general = stream;
  std::streambuf* const window = general.rdbuf(&other);
  WriteWholeFile(stream, scene);
  EXPECT_TRUE(stream.good());
  general.rdbuf(window);
  stream.close();
  EXPECT_TRUE(other.str() == scene.Expected()) << "the bytes went elsewhere";
  EXPECT_EQ(ReadFile(path), "");
}

// Windows that end 0 to 28 bytes into the sixth record of the first frame,
// so that the record meets the window's end with every room short of a
// record (and exactly one), the case where it cannot be filled in place.
TEST_F(ExportThroughWindowTest, RecordMeetingTheWindowEndIsWrittenWhole) {
  TestScene scene(40, 0, 2);
  const std::string expected = scene.Expected();
  const size_t frameSize = 8 + 8 + 28 * 40;
  const size_t firstFrame = expected.size() - 3 * frameSize;
  const size_t sixthRecord = firstFrame + 16 + 28 * 5;
  for (size_t room = 0; room <= 28; ++room) {
    SCOPED_TRACE("room " + std::to_string(room));
    const std::string path = Path("edge.kin");
    {
      kin::binofstream stream(path.c_str(), sixthRecord + room);
      ASSERT_FALSE(stream.fail());
      WriteWholeFile(stream, scene);
      stream.close();
      ASSERT_FALSE(stream.fail());
    }
    EXPECT_TRUE(ReadFile(path) == expected) << "the files differ";
  }
}

}  // namespace
