// `kin validate FILE...`: checks every rule of the format and lists the
// problems of each file.
#include <iostream>
#include <string>
#include <vector>

#include "reader/reader.h"
#include "tools/command.h"
#include "tools/json_format.h"
#include "tools/text_format.h"

namespace kin::tools {
namespace {

struct ValidateOptions {
  std::vector<std::string> files;
  bool json = false;
};

std::string Plural(int64_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

void PrintText(const std::string& file, const reader::Report& report) {
  std::cout << file << ": ";
  if (report.valid()) {
    std::cout << "valid";
    if (report.warningCount() > 0) {
      std::cout << ", " << Plural(report.warningCount(), "warning");
    }
  } else {
    std::cout << "invalid, " << Plural(report.errorCount(), "error") << ", "
              << Plural(report.warningCount(), "warning");
  }
  std::cout << "\n";
  for (const reader::Issue& issue : report.issues()) {
    std::cout << FormatIssue(issue) << "\n";
  }
  if (report.omittedCount() > 0) {
    std::cout << "(" << Plural(report.omittedCount(), "more problem")
              << " not listed)\n";
  }
}

int RunValidate(const ValidateOptions& options) {
  int exit = kExitOk;
  Json all = Json::array();
  for (const std::string& file : options.files) {
    reader::Result<reader::Report> report = reader::ValidateFile(file);
    if (!report) {
      std::cerr << "kin: " << report.error().message << "\n";
      exit = WorstExit(exit, kExitIo);
      if (options.json) {
        Json failed = Json::object();
        PutText(failed, "file", file);
        failed["valid"] = false;
        PutText(failed, "error", report.error().message);
        all.push_back(std::move(failed));
      }
      continue;
    }
    if (!report.value().valid()) exit = WorstExit(exit, kExitInvalid);
    if (options.json) {
      Json entry = Json::object();
      PutText(entry, "file", file);
      entry["valid"] = report.value().valid();
      entry["issues"] = ReportJson(report.value());
      all.push_back(std::move(entry));
    } else {
      PrintText(FileLabel(file), report.value());
    }
  }
  if (options.json) std::cout << DumpJson(all, 2) << "\n";
  return exit;
}

}  // namespace

void AddValidateCommand(CLI::App& app) {
  auto options = std::make_shared<ValidateOptions>();
  CLI::App* command = app.add_subcommand(
      "validate",
      "Checks every rule of the KIN format and lists the problems.");
  command->add_option("FILE", options->files, "KIN files to check")->required();
  command->add_flag("--json", options->json,
                    "Print a JSON array with one report per file");
  command->footer(
      "Prints 'FILE: valid', or each problem on a line of its own:\n"
      "  CODE severity offset path: message\n"
      "Exit code 3 when any file is invalid (warnings alone keep 0).\n"
      "Example:\n"
      "  kin validate walk.kin\n"
      "  kin validate --json *.kin > report.json\n");
  command->callback([options] { FinishCommand(RunValidate(*options)); });
}

}  // namespace kin::tools
