// Each damaged file breaks one rule of the format; the validator must name
// that rule with its code at the offset of the field found wrong, and the
// model reader must refuse the file with that place in its message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/reader.h"
#include "tests/reader/sample_files.h"

namespace {

using kin::reader::IssueCode;
using namespace kin_bytes;
using namespace kin_test;
namespace L = kin_test::layout;

struct DamagedCase {
  const char* name;
  std::string bytes;
  IssueCode code;  // the first error, or the warning for warning cases
  uint64_t offset;
  const char* path;  // its chunk path
};

void PrintTo(const DamagedCase& c, std::ostream* out) { *out << c.name; }

kin::reader::Report ValidateBytes(const std::string& bytes) {
  kin::reader::MemorySource source(bytes.data(), bytes.size());
  return kin::reader::Validate(source);
}

TEST(SampleLayout, ReferenceFileIsValidAndLaidOutAsDocumented) {
  const std::string file = WalkFile();
  ASSERT_EQ(file.size(), L::kEnd);
  EXPECT_EQ(file.substr(L::kInfo, 4), "INFO");
  EXPECT_EQ(file.substr(L::kEvents, 4), "EVNT");
  EXPECT_EQ(file.substr(L::kSkel, 4), "SKEL");
  EXPECT_EQ(file.substr(L::kRoot, 4), "BONE");
  EXPECT_EQ(file.substr(L::kArm, 4), "BONE");
  EXPECT_EQ(file.substr(L::kFrame0, 4), "FRAM");
  EXPECT_EQ(file.substr(L::kFrame1, 4), "FRAM");
  EXPECT_EQ(file.substr(L::kRootChildCount, 4), U32(1));
  const kin::reader::Report report = ValidateBytes(file);
  EXPECT_TRUE(report.valid());
  EXPECT_EQ(report.warningCount(), 0);
}

std::vector<DamagedCase> ErrorCases() {
  const std::string file = WalkFile();
  const std::string info = WalkInfo(), events = WalkEvents(),
                    skel = WalkSkeleton(), f0 = WalkFrame(0), f1 = WalkFrame(1);
  const std::string armBone = BoneChunk({"arm", {}});
  return {
      {"ContainerTag", Patched(file, 0, "VOXX"), IssueCode::kBadContainerTag, 0,
       "VOXR"},
      {"ContainerSize", Patched(file, 4, U32(268)),
       IssueCode::kContainerSizeMismatch, 4, "VOXR"},
      {"FormTag", Patched(file, 8, "ANIX"), IssueCode::kBadFormTag, 8, "VOXR"},
      {"FileTooShort", "VOXR" + U32(4), IssueCode::kFileTooShort, 0, "VOXR"},
      {"SizeNotAligned", Patched(file, L::kInfo + 4, U32(26)),
       IssueCode::kChunkSizeNotAligned, L::kInfo + 4, "INFO"},
      {"SizeBelowVersion", Patched(file, L::kEvents + 4, U32(0)),
       IssueCode::kChunkSizeTooSmall, L::kEvents + 4, "EVNT"},
      {"SizeNegative", Patched(file, L::kFrame1 + 4, I32(-4)),
       IssueCode::kChunkSizeTooSmall, L::kFrame1 + 4, "FRAM[1]"},
      {"SizePastContainer", Patched(file, L::kSkel + 4, U32(4000)),
       IssueCode::kChunkOutsideParent, L::kSkel + 4, "SKEL"},
      {"ChildPastParent", Patched(file, L::kArm + 4, U32(20)),
       IssueCode::kChunkOutsideParent, L::kArm + 4, "SKEL/BONE[0]/BONE[0]"},
      {"Version", Patched(file, L::kArmVersion, U32(99)),
       IssueCode::kBadVersion, L::kArmVersion, "SKEL/BONE[0]/BONE[0]"},
      {"EventsBeforeInfo", File({events, info, skel, f0, f1}),
       IssueCode::kMissingChunk, L::kInfo, "INFO"},
      {"InfoTwice", File({info, info, events, skel, f0, f1}),
       IssueCode::kChunkOutOfOrder, L::kEvents, "INFO"},
      {"SkeletonMissing", File({info, events, f0, f1}),
       IssueCode::kMissingChunk, L::kSkel, "SKEL"},
      {"EverythingMissing", File({}), IssueCode::kMissingChunk, 12, "INFO"},
      {"BoneAtTopLevel", File({info, events, skel, armBone, f0, f1}),
       IssueCode::kUnexpectedChunk, L::kFrame0, "BONE"},
      {"UnknownTag",
       File({info, events, skel, Chunk("JUNK", U32(100)), f0, f1}),
       IssueCode::kUnexpectedChunk, L::kFrame0, "JUNK"},
      {"ChunkAfterLastFrame", File({info, events, skel, f0, f1, events}),
       IssueCode::kChunkOutOfOrder, L::kEnd, "EVNT"},
      {"BytesAfterLastFrame", File({info, events, skel, f0, f1, U32(0)}),
       IssueCode::kChunkHeaderTruncated, L::kEnd, "VOXR"},
      {"BytesAfterContainer", file + U32(0) + U32(0),
       IssueCode::kContainerSizeMismatch, 4, "VOXR"},
      {"FrameInSkeleton",
       File({info, events, VersionedChunk("SKEL", BoneChunk(WalkTree()) + f0),
             f0, f1}),
       IssueCode::kUnexpectedChunk, L::kFrame0, "SKEL/FRAM"},
      {"FrameInBone",
       File({info, events,
             VersionedChunk("SKEL",
                            VersionedChunk("BONE", Text("root") + U32(0) + f0)),
             f0, f1}),
       IssueCode::kUnexpectedChunk, L::kArm, "SKEL/BONE[0]/FRAM"},
      {"TwoRoots",
       File({info, events,
             VersionedChunk("SKEL", BoneChunk(WalkTree()) + armBone), f0, f1}),
       IssueCode::kRootBoneCount, L::kFrame0, "SKEL"},
      {"NoRoot", File({info, events, VersionedChunk("SKEL", ""), f0, f1}),
       IssueCode::kRootBoneCount, L::kSkel, "SKEL"},
      {"NameLengthNotAligned", Patched(file, L::kInfoName, U32(3)),
       IssueCode::kStringLengthNotAligned, L::kInfoName, "INFO"},
      {"NameLengthPastChunk", Patched(file, L::kInfoName, U32(1000)),
       IssueCode::kStringOutsideChunk, L::kInfoName, "INFO"},
      {"NameLengthNegative", Patched(file, L::kRootName, I32(-4)),
       IssueCode::kStringOutsideChunk, L::kRootName, "SKEL/BONE[0]"},
      {"ChildCountHigh", Patched(file, L::kRootChildCount, U32(2)),
       IssueCode::kChildCountMismatch, L::kRootChildCount, "SKEL/BONE[0]"},
      {"ChildCountNegative", Patched(file, L::kRootChildCount, I32(-1)),
       IssueCode::kChildCountMismatch, L::kRootChildCount, "SKEL/BONE[0]"},
      {"BytesAfterChildren",
       File({info, events,
             VersionedChunk(
                 "SKEL", VersionedChunk(
                             "BONE", Text("root") + U32(1) + armBone + U32(0))),
             f0, f1}),
       IssueCode::kChunkHeaderTruncated, L::kArm + 24, "SKEL/BONE[0]"},
      {"EventCountHigh", Patched(file, L::kEventCount, U32(2)),
       IssueCode::kEventCountMismatch, L::kEventCount, "EVNT"},
      {"EventCountZero", Patched(file, L::kEventCount, U32(0)),
       IssueCode::kEventCountMismatch, L::kEventCount, "EVNT"},
      {"EventCountPastBytes",
       File({info,
             VersionedChunk("EVNT",
                            U32(2) + I32(0) + U32(7) + Text("step") + U32(0)),
             skel, f0, f1}),
       IssueCode::kBodyTruncated, L::kSkel, "EVNT/event[1]"},
      {"EventTrailingBytes",
       File({info,
             VersionedChunk("EVNT",
                            U32(1) + I32(0) + U32(7) + Text("step") + U32(0)),
             skel, f0, f1}),
       IssueCode::kBodyTrailingBytes, L::kSkel, "EVNT"},
      {"InfoTrailingBytes",
       File({VersionedChunk("INFO", Text("walk") + I32(2) + U32(kValueA) +
                                        U32(kValueB) + U32(0)),
             events, skel, f0, f1}),
       IssueCode::kBodyTrailingBytes, L::kEvents, "INFO"},
      {"InfoMissingWord",
       File({VersionedChunk("INFO", Text("walk") + I32(2) + U32(kValueA)),
             events, skel, f0, f1}),
       IssueCode::kBodyTruncated, 40, "INFO"},
      {"FrameOneRecordShort",
       File({info, events, skel, Frame(0, {RecordFrom(0)}), f1}),
       IssueCode::kFrameSizeMismatch, L::kFrame0 + 4, "FRAM[0]"},
      {"FrameOffset", Patched(file, L::kFrame1Offset, I32(5)),
       IssueCode::kFrameOffsetMismatch, L::kFrame1Offset, "FRAM[1]"},
      {"TooFewFrames", Patched(file, L::kFrameCount, I32(3)),
       IssueCode::kFrameCountMismatch, L::kEnd, "VOXR"},
      {"TooManyFrames", Patched(file, L::kFrameCount, I32(1)),
       IssueCode::kFrameCountMismatch, L::kFrame1, "FRAM[1]"},
      {"FramesForEmptyRange", Patched(file, L::kFrameCount, I32(-1)),
       IssueCode::kFrameCountMismatch, L::kFrame0, "FRAM[0]"},
  };
}

class DamagedFile : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedFile, FirstErrorNamesTheBrokenRule) {
  const DamagedCase& c = GetParam();
  const kin::reader::Report report = ValidateBytes(c.bytes);
  const kin::reader::Issue* first = report.firstError();
  ASSERT_NE(first, nullptr) << "no error reported";
  EXPECT_EQ(kin::reader::CodeName(first->code),
            std::string(kin::reader::CodeName(c.code)))
      << FormatIssue(*first);
  EXPECT_EQ(first->offset, c.offset) << FormatIssue(*first);
  EXPECT_EQ(first->path, c.path) << FormatIssue(*first);
  EXPECT_FALSE(first->found.empty());
  EXPECT_FALSE(first->expected.empty());

  const auto read =
      kin::reader::ReadBytes(c.bytes.data(), c.bytes.size(), "damaged.kin");
  ASSERT_FALSE(read.ok());
  EXPECT_EQ(read.error().kind, kin::reader::Error::Kind::kInvalid);
  EXPECT_NE(read.error().message.find("damaged.kin: offset " +
                                      std::to_string(c.offset) + ", " + c.path +
                                      ": "),
            std::string::npos)
      << read.error().message;
}

INSTANTIATE_TEST_SUITE_P(OneRuleBroken, DamagedFile,
                         ::testing::ValuesIn(ErrorCases()),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

std::vector<DamagedCase> WarningCases() {
  const std::string file = WalkFile();
  const std::string events = WalkEvents(), skel = WalkSkeleton(),
                    f0 = WalkFrame(0), f1 = WalkFrame(1);
  std::string nanFrame = f0;
  nanFrame.replace(L::kFrame0 + 16 + 4 * 3 - L::kFrame0, 4, U32(0x7fc00001));
  return {
      {"FillNotZero",
       File({VersionedChunk("INFO", U32(4) + std::string("wa\0x", 4) + I32(2) +
                                        U32(kValueA) + U32(kValueB)),
             events, skel, f0, f1}),
       IssueCode::kStringFillNotZero, 31, "INFO"},
      {"Overpadded",
       File({VersionedChunk("INFO", U32(8) + std::string("walk\0\0\0\0", 8) +
                                        I32(2) + U32(kValueA) + U32(kValueB)),
             events, skel, f0, f1}),
       IssueCode::kStringOverpadded, L::kInfoName, "INFO"},
      {"EventAfterLastFrame", Patched(file, L::kEventEntry, I32(2)),
       IssueCode::kEventOutsideRange, L::kEventEntry, "EVNT/event[0]"},
      {"EventBeforeFirstFrame", Patched(file, L::kEventEntry, I32(-1)),
       IssueCode::kEventOutsideRange, L::kEventEntry, "EVNT/event[0]"},
      {"NaNRotation", kin_bytes::File({WalkInfo(), events, skel, nanFrame, f1}),
       IssueCode::kNonFiniteValue, L::kFrame0 + 16 + 12, "FRAM[0]/record[0]"},
  };
}

class SuspectFile : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(SuspectFile, WarnsButReads) {
  const DamagedCase& c = GetParam();
  const kin::reader::Report report = ValidateBytes(c.bytes);
  EXPECT_TRUE(report.valid())
      << (report.firstError() ? FormatIssue(*report.firstError()) : "");
  ASSERT_EQ(report.issues().size(), 1u);
  const kin::reader::Issue& issue = report.issues()[0];
  EXPECT_EQ(issue.code, c.code) << FormatIssue(issue);
  EXPECT_EQ(issue.severity, kin::reader::Severity::kWarning);
  EXPECT_EQ(issue.offset, c.offset) << FormatIssue(issue);
  EXPECT_EQ(issue.path, c.path);
  EXPECT_TRUE(kin::reader::ReadBytes(c.bytes.data(), c.bytes.size()).ok());
}

INSTANTIATE_TEST_SUITE_P(AllowedButSuspect, SuspectFile,
                         ::testing::ValuesIn(WarningCases()),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

// After a problem it can step over, the validator goes on and reports the
// later ones too.
TEST(Validate, ReportsEveryProblemItCanReach) {
  std::string file = Patched(WalkFile(), L::kArmVersion, U32(99));
  file = Patched(file, L::kFrame1Offset, I32(7));
  file = Patched(file, L::kEventCount, U32(3));
  const kin::reader::Report report = ValidateBytes(file);
  ASSERT_EQ(report.errorCount(), 3);
  EXPECT_EQ(report.issues()[0].code, IssueCode::kEventCountMismatch);
  EXPECT_EQ(report.issues()[1].code, IssueCode::kBadVersion);
  EXPECT_EQ(report.issues()[2].code, IssueCode::kFrameOffsetMismatch);
}

// A file where every frame is wrong keeps a report of bounded size but
// counts every problem.
TEST(Validate, KeepsABoundedReportOfManyProblems) {
  std::vector<std::string> chunks = {WalkInfo(1000), Events({}),
                                     WalkSkeleton()};
  for (int32_t n = 0; n < 1000; ++n) chunks.push_back(WalkFrame(n + 1));
  const std::string file = File(chunks);
  const kin::reader::Report report = ValidateBytes(file);
  EXPECT_EQ(report.errorCount(), 1000);
  EXPECT_EQ(report.issues().size(), kin::reader::Report::kMaxIssuesPerCode);
  EXPECT_EQ(report.omittedCount(), 1000 - 100);
}

// A chunk whose size runs past its parent ends the walk of that parent
// only: the chunks after the parent are still checked.
TEST(Validate, GoesOnAfterTheParentOfABrokenChunk) {
  std::string file = Patched(WalkFile(), L::kArm + 4, U32(400));
  file = Patched(file, L::kFrame1Offset, I32(9));
  const kin::reader::Report report = ValidateBytes(file);
  ASSERT_EQ(report.errorCount(), 2);
  EXPECT_EQ(report.issues()[0].code, IssueCode::kChunkOutsideParent);
  EXPECT_EQ(report.issues()[1].code, IssueCode::kFrameOffsetMismatch);
}

}  // namespace
