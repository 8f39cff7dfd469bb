// vessix-cli scan: scans pages from a TWAIN data source with its own user
// interface off, writes each page as it arrives and saves the group as the
// scan window does (naming, resolution, BMP, JPEG or PDF). Prints one line per
// page and then the files written. `--list` prints the sources.
// Exit code 0 when every page was saved, 1 when the source failed, refused the
// resolution or a page could not be saved (what was saved stays), 2 for usage.
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "scan/file_store.h"
#include "scan/save_scanning.h"
#include "scan/scan_naming.h"
#include "scan/twain/qvtwain.h"
#include "scan/twain/twain_scan_job.h"

namespace vx::cli {
namespace {

using namespace vx::scan;
using namespace vx::scan::twain;

struct Options {
  bool list = false;
  std::string source, target, format_text;
  long dpi = 0, pages = 0, timeout = 120;
};

int Fail(const std::string& why) {
  std::fprintf(stderr, "vessix-cli scan: %s\n", why.c_str());
  return 1;
}

int Scan(const Options& o) {
  std::optional<GroupFormat> format;
  if (!o.list) {
    if (o.format_text.empty() || o.target.empty())
      throw UsageError("scan needs --format and --target, or --list");
    format = ParseGroupFormat(o.format_text);
    const PathParts parts = SplitPath(o.target);
    if (parts.name.empty()) throw UsageError("--target needs a file name");
    if (!parts.extension.empty() && ParseGroupFormat(parts.extension.substr(1)) != format)
      throw UsageError("the target's extension does not match --format");
  }

  ApplicationMessages& messages = TheApplicationMessages();
  auto loop = MakeSystemMessageLoop(messages);
  TQVTWAIN twain(TwainPorts{SystemTwainLibrary(), SystemGlobalMemory(), messages});
  // The scan window's identity; the source's own dialog stays off.
  const AppIdentityTexts texts;
  twain.SetProductname(texts.product);
  twain.SetManufacturer(texts.manufacturer);
  twain.SetProductFamily(texts.family);
  twain.ShowUI = false;
  if (!twain.IsTwainDriverAvailable()) return Fail("no TWAIN data source is installed");
  try {
    twain.InitTWAIN(loop->ParentWindow());
  } catch (const ETwainError& e) {
    return Fail(e.what());
  }
  if (!twain.IsDataSourceManagerOpen()) return Fail("the TWAIN data source manager did not open");

  const std::vector<TwainSource> sources = EnumerateSources(twain);
  if (o.list) {
    for (const TwainSource& s : sources) std::printf("%s\n", s.name.c_str());
    return 0;
  }
  const TwainSource* chosen = sources.empty() ? nullptr : &sources.front();
  if (!o.source.empty()) {
    chosen = nullptr;
    for (const TwainSource& s : sources)
      if (s.name == o.source) chosen = &s;
    if (!chosen) return Fail("no TWAIN source named \"" + o.source + "\" (see scan --list)");
  }
  if (!chosen) return Fail("no TWAIN source is listed");
  twain.SetDataSource(chosen->identity);

  // The Scan button's choice of a free group name.
  FileStore& files = LocalFileStore();
  const PathParts parts = SplitPath(o.target);
  const TargetChoice choice = ChooseTargetFileName(files, parts.folder, parts.name, *format);
  if (choice.status == TargetChoice::kTooLong) throw UsageError("target name too long: " + choice.target);
  if (choice.status == TargetChoice::kStopped) return Fail("no free name for " + o.target);
  ScanTempArea temp(files);
  std::string temp_base;
  if (*format == GroupFormat::kPdf) {
    auto base = temp.TempBase();
    if (!base) return Fail("cannot make a folder for temporary files");
    temp_base = *base;
  }

  ScanJobOptions options;
  options.format = *format;
  options.names = MakeGroupNames(choice.target, temp_base);
  options.dpi = static_cast<int>(o.dpi);
  options.max_pages = static_cast<int>(o.pages);
  TwainScanJob job(twain, files, options);
  job.OnPage = [](const ScannedPage& page) {
    std::printf("page %d: %d x %d pixels, %d bit(s), %d dpi\n", page.number, page.dib.width, page.dib.height,
                page.dib.bit_count, page.dpi);
    std::fflush(stdout);
  };
  bool timed_out = false;
  if (job.Start()) {
    timed_out = !loop->PumpUntil([&] { return job.BatchOver(); }, std::chrono::seconds(o.timeout));
    if (timed_out) {
      if (twain.IsDataSourceEnabled()) twain.DisableDataSource();
      if (twain.IsDataSourceOpen()) twain.CloseDataSource();
    }
  }
  for (const std::string& error : job.Errors()) std::fprintf(stderr, "vessix-cli scan: %s\n", error.c_str());
  if (timed_out) std::fprintf(stderr, "vessix-cli scan: no end of the batch after %ld s\n", o.timeout);

  bool save_failed = false;
  if (job.Pages() > 0) {
    TSaveScanningThread thread(job.MakeSaveJob(), files, SystemClock(), InlineMainThread(), nullptr);
    thread.Start();
    thread.Wait();
    if (*format == GroupFormat::kPdf) temp.DeletePages(job.Pages());
    for (const std::string& file : thread.Outcome().files) std::printf("%s\n", file.c_str());
    for (const std::string& failure : thread.Outcome().failures)
      std::fprintf(stderr, "vessix-cli scan: %s\n", failure.c_str());
    save_failed = thread.Outcome().error;
  } else {
    std::fprintf(stderr, "vessix-cli scan: no page was scanned\n");
  }
  return job.Failed() || timed_out || save_failed || job.Pages() == 0 ? 1 : 0;
}

void Register(CLI::App& root, Actions& actions) {
  auto o = std::make_shared<Options>();
  CLI::App* cmd = root.add_subcommand(
      "scan",
      "scan pages from a TWAIN source and save them as a group; print one line per page and the files");
  CLI::Option* list = cmd->add_flag("--list", o->list, "print the TWAIN sources, one per line");
  auto without_list = [&](CLI::Option* option) { return option->excludes(list); };
  without_list(
      cmd->add_option("--source", o->source, "the source's name as --list prints it (default: the first)"));
  without_list(cmd->add_option("--format", o->format_text, "the group's format: bmp, jpg or pdf")
                   ->check(CLI::Validator(
                       [](std::string& text) {
                         return ParseGroupFormat(text) ? std::string() : "unknown format " + text;
                       },
                       "bmp|jpg|pdf")));
  without_list(cmd->add_option("--target", o->target,
                               "the group's first file; a free name is chosen as the Scan button does"));
  without_list(cmd->add_option("--dpi", o->dpi, "the resolution to scan at (default: the source's own)")
                   ->transform(DecimalRange(1, 32767)));
  without_list(cmd->add_option("--pages", o->pages, "at most this many pages (default: all the source gives)")
                   ->transform(DecimalRange(1, 100000)));
  without_list(
      cmd->add_option("--timeout", o->timeout, "seconds to wait for the end of the batch (default 120)")
          ->transform(DecimalRange(1, 86400)));
  actions.Bind(cmd, [o] { return Scan(*o); });
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
