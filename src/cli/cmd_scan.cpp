// vessix-cli scan: scans pages from a TWAIN data source with its own user
// interface off, writes each page as it arrives and saves the group as the
// scan window does (naming, resolution, BMP, JPEG or PDF). Prints one line per
// page and then the files written. `--list` prints the sources.
// Exit code 0 when every page was saved, 1 when the source failed, refused the
// resolution or a page could not be saved (what was saved stays), 2 for usage.
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

constexpr char kUsage[] =
    "scan [--source NAME] [--dpi N] [--pages N] [--timeout SECONDS] --format bmp|jpg|pdf --target PATH | "
    "scan --list";

int UsageError(const std::string& why) {
  std::fprintf(stderr, "vessix-cli scan: %s\nusage: vessix-cli %s\n", why.c_str(), kUsage);
  return 2;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "vessix-cli scan: %s\n", why.c_str());
  return 1;
}

bool ParseNumber(const std::string& text, long low, long high, long& out) {
  char* end = nullptr;
  out = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && out >= low && out <= high;
}

struct Options {
  bool list = false;
  std::string source, target;
  std::optional<GroupFormat> format;
  long dpi = 0, pages = 0, timeout = 120;
};

// Returns an exit code for a usage error, or -1.
int ParseOptions(const std::vector<std::string>& args, Options& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--list") {
      o.list = true;
      continue;
    }
    if (a != "--source" && a != "--dpi" && a != "--pages" && a != "--timeout" && a != "--format" &&
        a != "--target")
      return UsageError("unknown argument " + a);
    if (i + 1 >= args.size()) return UsageError(a + " needs a value");
    const std::string& v = args[++i];
    if (a == "--source") o.source = v;
    if (a == "--target") o.target = v;
    if (a == "--format" && !(o.format = ParseGroupFormat(v))) return UsageError("unknown format " + v);
    if (a == "--dpi" && !ParseNumber(v, 1, 32767, o.dpi))
      return UsageError("--dpi needs a number from 1 to 32767");
    if (a == "--pages" && !ParseNumber(v, 1, 100000, o.pages))
      return UsageError("--pages needs a number above 0");
    if (a == "--timeout" && !ParseNumber(v, 1, 86400, o.timeout))
      return UsageError("--timeout needs a number of seconds");
  }
  if (o.list) return -1;
  if (!o.format || o.target.empty()) return UsageError("missing --format or --target");
  const PathParts parts = SplitPath(o.target);
  if (parts.name.empty()) return UsageError("--target needs a file name");
  if (!parts.extension.empty() && ParseGroupFormat(parts.extension.substr(1)) != o.format)
    return UsageError("the target's extension does not match --format");
  return -1;
}

int Scan(const std::vector<std::string>& args) {
  Options o;
  if (int usage = ParseOptions(args, o); usage >= 0) return usage;

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
  const TargetChoice choice = ChooseTargetFileName(files, parts.folder, parts.name, *o.format);
  if (choice.status == TargetChoice::kTooLong) return UsageError("target name too long: " + choice.target);
  if (choice.status == TargetChoice::kStopped) return Fail("no free name for " + o.target);
  ScanTempArea temp(files);
  std::string temp_base;
  if (*o.format == GroupFormat::kPdf) {
    auto base = temp.TempBase();
    if (!base) return Fail("cannot make a folder for temporary files");
    temp_base = *base;
  }

  ScanJobOptions options;
  options.format = *o.format;
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
    if (*o.format == GroupFormat::kPdf) temp.DeletePages(job.Pages());
    for (const std::string& file : thread.Outcome().files) std::printf("%s\n", file.c_str());
    for (const std::string& failure : thread.Outcome().failures)
      std::fprintf(stderr, "vessix-cli scan: %s\n", failure.c_str());
    save_failed = thread.Outcome().error;
  } else {
    std::fprintf(stderr, "vessix-cli scan: no page was scanned\n");
  }
  return job.Failed() || timed_out || save_failed || job.Pages() == 0 ? 1 : 0;
}

CommandRegistration reg("scan", kUsage, &Scan);

}  // namespace
}  // namespace vx::cli
