// vessix-cli save-pages: saves BMP files as a finished scan group, exactly as
// the scan window does after the last page of a batch: the files become the
// group's page files, then the saving thread writes the final BMP, JPEG or PDF
// files. Prints the final files, one per line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/command.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "scan/file_store.h"
#include "scan/save_scanning.h"
#include "scan/scan_naming.h"

namespace vx::cli {
namespace {

using namespace vx::scan;

struct Options {
  std::string format_text;
  long dpi = 0;
  std::string target;
  std::vector<std::string> pages;
};

std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// A page given on the command line may already lie where the group keeps it.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return a == b || std::filesystem::equivalent(Utf8Path(a), Utf8Path(b), ec);
}

int SavePages(const Options& o) {
  const std::optional<GroupFormat> format = ParseGroupFormat(o.format_text);
  const std::string& target = o.target;
  const std::vector<std::string>& pages = o.pages;
  const long dpi = o.dpi;

  FileStore& files = LocalFileStore();
  for (const std::string& page : pages)
    if (std::vector<uint8_t> probe; !files.Read(page, probe, 1)) throw UsageError("cannot read " + page);

  const PathParts parts = SplitPath(target);
  if (parts.name.empty()) throw UsageError("--target needs a file name");
  if (!parts.extension.empty() && ParseGroupFormat(parts.extension.substr(1)) != format)
    throw UsageError("the target's extension does not match --format");

  // The Scan button's choice of a free group name.
  const TargetChoice choice = ChooseTargetFileName(files, parts.folder, parts.name, *format);
  if (choice.status == TargetChoice::kTooLong) throw UsageError("target name too long: " + choice.target);
  if (choice.status == TargetChoice::kStopped) {
    std::fprintf(stderr, "vessix-cli save-pages: no free name for %s\n", target.c_str());
    return 1;
  }

  ScanTempArea temp(files);
  std::string temp_base;
  if (*format == GroupFormat::kPdf) {
    auto base = temp.TempBase();
    if (!base) {
      std::fprintf(stderr, "vessix-cli save-pages: cannot make a folder for temporary files\n");
      return 1;
    }
    temp_base = *base;
  }
  SaveJob job;
  job.format = *format;
  job.page_count = static_cast<int>(pages.size());
  job.dpi = static_cast<int>(dpi);
  job.bpp = 24;
  job.names = MakeGroupNames(choice.target, temp_base);

  // The pages as the scanner's transfers leave them.
  std::vector<uint8_t> bytes;
  for (int n = 1; n <= job.page_count; ++n) {
    const std::string& source = pages[static_cast<size_t>(n - 1)];
    const std::string page = TransferBmpName(job.format, job.names, n);
    if (SameFile(source, page)) continue;
    if (!files.Read(source, bytes) || !files.WriteAll(page, bytes)) {
      std::fprintf(stderr, "vessix-cli save-pages: cannot copy %s to %s\n", source.c_str(), page.c_str());
    }
  }
  bytes = {};

  TSaveScanningThread thread(job, files, SystemClock(), InlineMainThread(), nullptr);
  thread.Start();
  thread.Wait();
  if (job.format == GroupFormat::kPdf) temp.DeletePages(job.page_count);

  for (const std::string& file : thread.Outcome().files) std::printf("%s\n", file.c_str());
  for (const std::string& failure : thread.Outcome().failures)
    std::fprintf(stderr, "vessix-cli save-pages: %s\n", failure.c_str());
  return SaveErrorFlag() ? 1 : 0;
}

void Register(CLI::App& root, Actions& actions) {
  auto o = std::make_shared<Options>();
  CLI::App* cmd = root.add_subcommand("save-pages",
                                      "save BMP pages as a finished scan group and print the files written");
  cmd->add_option("--format", o->format_text, "the group's format: bmp, jpg or pdf")
      ->required()
      ->check(CLI::Validator(
          [](std::string& text) { return ParseGroupFormat(text) ? std::string() : "unknown format " + text; },
          "bmp|jpg|pdf"));
  cmd->add_option("--dpi", o->dpi, "the pages' resolution")->required()->transform(DecimalRange(1, 65535));
  cmd->add_option("--target", o->target,
                  "the group's first file; a free name is chosen as the Scan button does")
      ->required();
  cmd->add_option("pages", o->pages, "the pages, in order")->required()->type_name("PAGE.bmp");
  actions.Bind(cmd, [o] { return SavePages(*o); });
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
