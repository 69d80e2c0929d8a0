// `kin dump FILE`: the whole content of one file, readably or as JSON.
//
// Two walks: the first collects INFO, the events and the bones (so that
// `--bones` names can be checked before anything is printed), the second
// prints the frames as it meets them, so that a file of any length is
// dumped in bounded memory.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "reader/reader.h"
#include "tools/command.h"
#include "tools/json_format.h"
#include "tools/text_format.h"

namespace kin::tools {
namespace {

struct DumpOptions {
  std::string file;
  std::string frames;  // "A:B", "A:", ":B" or "A"
  std::vector<std::string> bones;
  bool json = false;
};

struct FrameRange {
  int64_t first = 0;
  int64_t last = std::numeric_limits<int64_t>::max();
  bool Contains(int64_t index) const { return index >= first && index <= last; }
};

bool ParseIndex(const std::string& text, int64_t* out) {
  if (text.empty() || text.size() > 10) return false;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *out = value;
  return true;
}

// Parses "A:B" (frames A to B, both included), "A:", ":B" or "A".
bool ParseFrameRange(const std::string& text, FrameRange* range) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) {
    if (!ParseIndex(text, &range->first)) return false;
    range->last = range->first;
    return true;
  }
  const std::string first = text.substr(0, colon);
  const std::string last = text.substr(colon + 1);
  if (first.empty() && last.empty()) return false;
  if (!first.empty() && !ParseIndex(first, &range->first)) return false;
  if (!last.empty() && !ParseIndex(last, &range->last)) return false;
  return range->first <= range->last;
}

// The first walk: everything but the frames.
class HeaderCollector : public reader::WalkVisitor {
 public:
  void OnInfo(const reader::InfoFields& fields) override {
    hasInfo = true;
    info = fields;
  }
  void OnEvent(int32_t, const reader::Event& event) override {
    events.push_back(event);
  }
  void OnBone(const reader::BoneFields& bone) override {
    bones.push_back(bone);
  }

  bool hasInfo = false;
  reader::InfoFields info;
  std::vector<reader::Event> events;
  std::vector<reader::BoneFields> bones;
};

constexpr int32_t kMaxIndentDepth = 32;

void PrintHeaderText(const std::string& file, uint64_t fileSize,
                     const HeaderCollector& header) {
  std::cout << "file:       " << FileLabel(file) << "\n";
  if (header.hasInfo) {
    std::cout << "name:       " << QuoteText(header.info.name) << "\n"
              << "frames:     " << header.info.frameCount << "\n"
              << "value A:    " << Hex32(header.info.valueA) << "\n"
              << "value B:    " << Hex32(header.info.valueB) << "\n";
  } else {
    std::cout << "name:       (unknown: INFO unreadable)\n";
  }
  std::cout << "file size:  " << fileSize << " bytes\n";
  std::cout << "\nevents: " << header.events.size() << "\n";
  if (!header.events.empty()) {
    std::cout << "  offset       value       name\n";
  }
  for (const reader::Event& event : header.events) {
    std::string offset = std::to_string(event.offset);
    offset.resize(std::max<size_t>(offset.size(), 11), ' ');
    std::cout << "  " << offset << "  " << Hex32(event.value) << "  "
              << QuoteText(event.name) << "\n";
  }
  std::cout << "\nbones: " << header.bones.size() << "\n";
  for (const reader::BoneFields& bone : header.bones) {
    const int32_t indent = std::min(bone.depth, kMaxIndentDepth);
    std::cout << std::string(2 + 2 * static_cast<size_t>(indent), ' ');
    if (bone.depth > kMaxIndentDepth) {
      std::cout << "(depth " << bone.depth << ") ";
    }
    std::cout << "[" << bone.index << "] " << QuoteText(bone.name) << "\n";
  }
}

Json HeaderJson(const std::string& file, uint64_t fileSize,
                const HeaderCollector& header) {
  Json out = Json::object();
  PutText(out, "file", file);
  out["fileSize"] = fileSize;
  if (header.hasInfo) {
    PutText(out, "name", header.info.name);
    out["frameCount"] = header.info.frameCount;
    out["valueA"] = Hex32(header.info.valueA);
    out["valueB"] = Hex32(header.info.valueB);
  } else {
    out["name"] = nullptr;
    out["frameCount"] = nullptr;
    out["valueA"] = nullptr;
    out["valueB"] = nullptr;
  }
  Json events = Json::array();
  for (const reader::Event& event : header.events) {
    Json entry = Json::object();
    entry["offset"] = event.offset;
    entry["value"] = Hex32(event.value);
    PutText(entry, "name", event.name);
    events.push_back(std::move(entry));
  }
  out["events"] = std::move(events);
  Json bones = Json::array();
  for (const reader::BoneFields& bone : header.bones) {
    Json entry = Json::object();
    entry["index"] = bone.index;
    PutText(entry, "name", bone.name);
    entry["parent"] = bone.parent;
    bones.push_back(std::move(entry));
  }
  out["bones"] = std::move(bones);
  return out;
}

// The second walk: prints the selected frames and collects the problems.
class FramePrinter : public reader::WalkVisitor {
 public:
  FramePrinter(const HeaderCollector& header, const FrameRange& range,
               const std::set<int32_t>* bones, bool json)
      : header_(header), range_(range), bones_(bones), json_(json) {}

  void OnFrame(int32_t index, int32_t offset) override {
    FlushJsonFrame();
    selected_ = range_.Contains(index);
    if (!selected_) return;
    if (json_) {
      frame_ = Json::object();
      frame_["index"] = index;
      frame_["offset"] = offset;
      frame_["records"] = Json::array();
    } else {
      std::cout << "\nframe " << index << " (offset " << offset << ")\n";
    }
  }

  void OnRecord(int32_t, int32_t bone, const reader::Record& record) override {
    if (!selected_) return;
    if (bones_ != nullptr && bones_->count(bone) == 0) return;
    const std::string* name =
        static_cast<size_t>(bone) < header_.bones.size()
            ? &header_.bones[static_cast<size_t>(bone)].name
            : nullptr;
    if (json_) {
      Json entry = Json::object();
      entry["bone"] = bone;
      if (name != nullptr) {
        PutText(entry, "name", *name);
      } else {
        entry["name"] = nullptr;
      }
      entry["position"] = Json::array(
          {RealJson(record[0]), RealJson(record[1]), RealJson(record[2])});
      entry["rotation"] =
          Json::array({RealJson(record[3]), RealJson(record[4]),
                       RealJson(record[5]), RealJson(record[6])});
      frame_["records"].push_back(std::move(entry));
      return;
    }
    std::cout << "  [" << bone << "] " << (name ? QuoteText(*name) : "?")
              << "  position (" << RealText(record[0]) << ", "
              << RealText(record[1]) << ", " << RealText(record[2])
              << ")  rotation (" << RealText(record[3]) << ", "
              << RealText(record[4]) << ", " << RealText(record[5]) << ", "
              << RealText(record[6]) << ")\n";
  }

  void OnIssue(const reader::Issue& issue) override { report.Add(issue); }

  // Prints the JSON frame being built, if any.
  void FlushJsonFrame() {
    if (!json_ || frame_.is_null()) return;
    if (printedFrames_++ > 0) std::cout << ",\n";
    std::cout << DumpJson(frame_, -1);
    frame_ = Json();
  }

  reader::Report report;

 private:
  const HeaderCollector& header_;
  FrameRange range_;
  const std::set<int32_t>* bones_;
  bool json_;
  bool selected_ = false;
  Json frame_;
  int64_t printedFrames_ = 0;
};

int RunDump(const DumpOptions& options) {
  FrameRange range;
  if (!options.frames.empty() && !ParseFrameRange(options.frames, &range)) {
    throw CLI::ValidationError(
        "--frames", "'" + options.frames +
                        "' is not a frame range: use A:B, A:, :B or A, with "
                        "A <= B counted from 0");
  }
  const std::string label = FileLabel(options.file);

  reader::Result<std::unique_ptr<reader::FileSource>> source =
      reader::FileSource::Open(options.file);
  if (!source) {
    std::cerr << "kin: " << source.error().message << "\n";
    return kExitIo;
  }
  HeaderCollector header;
  reader::WalkOptions headerWalk;
  headerWalk.readRecords = false;
  const reader::WalkOutcome first =
      reader::WalkFile(*source.value(), header, headerWalk);
  if (first.readFailed) {
    std::cerr << "kin: " << first.readError << "\n";
    return kExitIo;
  }

  std::set<int32_t> selectedBones;
  if (!options.bones.empty()) {
    for (const std::string& name : options.bones) {
      bool found = false;
      for (const reader::BoneFields& bone : header.bones) {
        if (bone.name == name) {
          selectedBones.insert(bone.index);
          found = true;
        }
      }
      if (!found) {
        throw CLI::ValidationError(
            "--bones", "no bone named " + QuoteText(name) + " in " + label);
      }
    }
  }

  if (options.json) {
    std::string head =
        DumpJson(HeaderJson(options.file, first.fileSize, header), -1);
    head.pop_back();  // the closing brace: the frames follow
    std::cout << head << ",\"frames\":[\n";
  } else {
    PrintHeaderText(options.file, first.fileSize, header);
  }

  FramePrinter printer(header, range,
                       options.bones.empty() ? nullptr : &selectedBones,
                       options.json);
  const reader::WalkOutcome second = reader::WalkFile(*source.value(), printer);
  printer.FlushJsonFrame();
  if (options.json) {
    Json tail = Json::object();
    tail["valid"] = printer.report.valid();
    tail["issues"] = ReportJson(printer.report);
    std::string text = DumpJson(tail, -1);
    text.erase(0, 1);  // the opening brace: this continues the object
    std::cout << "\n]," << text << "\n";
  }
  if (second.readFailed) {
    std::cerr << "kin: " << second.readError << "\n";
    return kExitIo;
  }
  for (const reader::Issue& issue : printer.report.issues()) {
    std::cerr << "kin: " << label << ": " << FormatIssue(issue) << "\n";
  }
  if (printer.report.omittedCount() > 0) {
    std::cerr << "kin: " << label << ": " << printer.report.omittedCount()
              << " more problems not listed\n";
  }
  return printer.report.valid() ? kExitOk : kExitInvalid;
}

}  // namespace

void AddDumpCommand(CLI::App& app) {
  auto options = std::make_shared<DumpOptions>();
  CLI::App* command = app.add_subcommand(
      "dump",
      "Prints a file's whole content: INFO, the events, the bone tree and "
      "each frame's positions and rotations.");
  command->add_option("FILE", options->file, "KIN file to dump")->required();
  command->add_option("--frames", options->frames,
                      "Only frames A to B (both included, counted from 0): "
                      "A:B, A:, :B or A");
  command
      ->add_option("--bones", options->bones,
                   "Only the records of these bones, by name")
      ->delimiter(',');
  command->add_flag("--json", options->json,
                    "Print one JSON object; every real with its 32-bit "
                    "pattern");
  command->footer(
      "Reals are printed so that they read back to the same bits; NaN shows "
      "its pattern.\n"
      "Example:\n"
      "  kin dump walk.kin --frames 0:9 --bones hips,head\n"
      "  kin dump --json walk.kin > walk.json\n");
  command->callback([options] { FinishCommand(RunDump(*options)); });
}

}  // namespace kin::tools
