// `kin info FILE...`: one summary per file, read in bounded memory.
#include <iostream>
#include <string>
#include <vector>

#include "reader/reader.h"
#include "tools/command.h"
#include "tools/json_format.h"
#include "tools/text_format.h"

namespace kin::tools {
namespace {

struct InfoOptions {
  std::vector<std::string> files;
  bool json = false;
};

std::string CountsText(const reader::Report& report) {
  const auto plural = [](int64_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
  };
  return plural(report.errorCount(), "error") + ", " +
         plural(report.warningCount(), "warning");
}

void PrintText(const std::string& file, const reader::Summary& summary,
               bool first) {
  if (!first) std::cout << "\n";
  std::cout << FileLabel(file) << "\n";
  const auto line = [](const char* label, const std::string& value) {
    std::cout << "  " << label << value << "\n";
  };
  if (summary.hasInfo) {
    line("name:       ", QuoteText(summary.name));
    line("frames:     ", std::to_string(summary.frameCount));
  } else {
    line("name:       ", "(unknown: INFO unreadable)");
    line("frames:     ", "(unknown: INFO unreadable)");
  }
  line("bones:      ", std::to_string(summary.boneCount));
  line("events:     ", std::to_string(summary.eventCount));
  if (summary.hasInfo) {
    line("value A:    ", Hex32(summary.valueA));
    line("value B:    ", Hex32(summary.valueB));
  }
  line("file size:  ", std::to_string(summary.fileSize) + " bytes");
  line("status:     ", summary.report.valid()
                           ? std::string("valid")
                           : "invalid (" + CountsText(summary.report) +
                                 "; run 'kin validate' for the list)");
}

Json SummaryJson(const std::string& file, const reader::Summary& summary) {
  Json out = Json::object();
  PutText(out, "file", file);
  out["fileSize"] = summary.fileSize;
  if (summary.hasInfo) {
    PutText(out, "name", summary.name);
    out["frameCount"] = summary.frameCount;
    out["valueA"] = Hex32(summary.valueA);
    out["valueB"] = Hex32(summary.valueB);
  } else {
    out["name"] = nullptr;
    out["frameCount"] = nullptr;
    out["valueA"] = nullptr;
    out["valueB"] = nullptr;
  }
  out["boneCount"] = summary.boneCount;
  out["eventCount"] = summary.eventCount;
  out["frameChunkCount"] = summary.frameChunkCount;
  out["valid"] = summary.report.valid();
  out["numErrors"] = summary.report.errorCount();
  out["numWarnings"] = summary.report.warningCount();
  return out;
}

int RunInfo(const InfoOptions& options) {
  int exit = kExitOk;
  Json all = Json::array();
  bool first = true;
  for (const std::string& file : options.files) {
    reader::Result<reader::Summary> summary = reader::SummarizeFile(file);
    if (!summary) {
      std::cerr << "kin: " << summary.error().message << "\n";
      exit = WorstExit(exit, kExitIo);
      if (options.json) {
        Json failed = Json::object();
        PutText(failed, "file", file);
        PutText(failed, "error", summary.error().message);
        all.push_back(std::move(failed));
      }
      continue;
    }
    const reader::Report& report = summary.value().report;
    if (const reader::Issue* error = report.firstError()) {
      std::cerr << "kin: " << FileLabel(file)
                << ": invalid: " << FormatIssue(*error) << "\n";
      exit = WorstExit(exit, kExitInvalid);
    }
    if (options.json) {
      all.push_back(SummaryJson(file, summary.value()));
    } else {
      PrintText(file, summary.value(), first);
      first = false;
    }
  }
  if (options.json) std::cout << DumpJson(all, 2) << "\n";
  return exit;
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
  auto options = std::make_shared<InfoOptions>();
  CLI::App* command = app.add_subcommand(
      "info",
      "Shows each file's name, frames, bones, events, opaque words and size.");
  command->add_option("FILE", options->files, "KIN files to summarise")
      ->required();
  command->add_flag("--json", options->json,
                    "Print a JSON array with one object per file");
  command->footer(
      "Example:\n"
      "  kin info walk.kin run.kin\n"
      "  kin info --json walk.kin\n");
  command->callback([options] { FinishCommand(RunInfo(*options)); });
}

}  // namespace kin::tools
