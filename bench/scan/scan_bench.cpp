// Saving a 10-page group of 2480 x 3508 24-bit pages as PDF, against cjpeg
// -quality 75 encoding the same ten BMP files, side by side in one run.
//
// Each iteration times both: cjpeg once per page (as separate processes), and
// our saving thread in a child process of its own (this program started again
// with --child-save), so that the peak memory of each side can be read from
// wait4's resource usage. Reports the time ratio ours / cjpeg and both peaks,
// also in units of one page's bitmap. See docs/scan-output.md.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/main_thread.h"
#include "scan/bmp.h"
#include "scan/file_store.h"
#include "scan/save_scanning.h"
#include "scan/scan_naming.h"

namespace {

using namespace vx::scan;

constexpr int kPages = 10;
constexpr int kWidth = 2480;
constexpr int kHeight = 3508;
constexpr double kPageBitmapBytes = double(kWidth) * 3 * kHeight;

struct Setup {
  std::string folder;                // the ten source pages and the outputs
  std::vector<std::string> sources;  // page1.bmp ...
  std::string temp_base;             // where the saving finds its pages
  std::string self;
} g;

struct Totals {
  double ours_s = 0, cjpeg_s = 0;
  long ours_peak_kb = 0, cjpeg_peak_kb = 0;
  int runs = 0;
} totals;

// A scanned document page: slightly noisy paper, lines of "words", a photo.
std::vector<uint8_t> MakePage(int page) {
  std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
  uint32_t seed = 12345u + static_cast<uint32_t>(page) * 7919u;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = rgb.data() + static_cast<size_t>(y) * kWidth * 3;
    for (int x = 0; x < kWidth * 3; ++x) row[x] = static_cast<uint8_t>(244 + (next() >> 29));
  }
  // Text lines of words 30 pixels high.
  for (int line = 300; line + 30 < kHeight - 1400; line += 60) {
    for (int x = 250; x < kWidth - 250;) {
      const int word = 40 + static_cast<int>(next() % 160);
      for (int y = line; y < line + 30; ++y)
        for (int i = x; i < std::min(x + word, kWidth - 250); ++i)
          if ((next() & 3) != 0) std::memset(rgb.data() + (static_cast<size_t>(y) * kWidth + i) * 3, 30, 3);
      x += word + 25;
    }
  }
  // A photo-like area at the foot of the page.
  for (int y = kHeight - 1300; y < kHeight - 300; ++y)
    for (int x = 400; x < kWidth - 400; ++x) {
      uint8_t* p = rgb.data() + (static_cast<size_t>(y) * kWidth + x) * 3;
      p[0] = static_cast<uint8_t>((x * 3 + page * 20) & 255);
      p[1] = static_cast<uint8_t>((y / 3) & 255);
      p[2] = static_cast<uint8_t>(((x + y) / 5) & 255);
    }
  return MakeBmp24(kWidth, kHeight, rgb, 300);
}

// Runs a program to its end; returns its peak resident memory in kB. A plain
// fork: a child spawned with a shared address space (vfork, posix_spawn)
// would report this process's own peak as its own.
long RunChild(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The pages as the scan leaves them before the saving thread starts.
void PreparePages() {
  for (int n = 1; n <= kPages; ++n) {
    const std::string page = PageFileName(g.temp_base, n, ".bmp");
    std::filesystem::copy_file(g.sources[static_cast<size_t>(n - 1)], page,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

void BM_SavePdfAgainstCjpeg(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    PreparePages();
    state.ResumeTiming();

    auto start = std::chrono::steady_clock::now();
    long cjpeg_peak = 0;
    for (int n = 0; n < kPages; ++n) {
      long kb =
          RunChild({"cjpeg", "-quality", "75", "-outfile", g.folder + "cjpeg.jpg", g.sources[size_t(n)]});
      if (kb < 0) state.SkipWithError("cjpeg failed");
      cjpeg_peak = std::max(cjpeg_peak, kb);
    }
    const double cjpeg_s = Seconds(start);

    start = std::chrono::steady_clock::now();
    const long ours_peak = RunChild({g.self, "--child-save", g.temp_base, g.folder + "Picture.pdf"});
    if (ours_peak < 0) state.SkipWithError("saving failed");
    const double ours_s = Seconds(start);

    totals.ours_s += ours_s;
    totals.cjpeg_s += cjpeg_s;
    totals.ours_peak_kb = std::max(totals.ours_peak_kb, ours_peak);
    totals.cjpeg_peak_kb = std::max(totals.cjpeg_peak_kb, cjpeg_peak);
    ++totals.runs;
  }
  state.counters["ratio"] = totals.ours_s / totals.cjpeg_s;
  state.counters["ours_s"] = totals.ours_s / totals.runs;
  state.counters["cjpeg_s"] = totals.cjpeg_s / totals.runs;
  state.counters["ours_peak_MB"] = totals.ours_peak_kb / 1024.0;
  state.counters["cjpeg_peak_MB"] = totals.cjpeg_peak_kb / 1024.0;
}
BENCHMARK(BM_SavePdfAgainstCjpeg)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

// The child: the saving thread on the prepared pages, as the scan window runs it.
int ChildSave(const std::string& temp_base, const std::string& target) {
  SaveJob job;
  job.format = GroupFormat::kPdf;
  job.page_count = kPages;
  job.dpi = 300;
  job.bpp = 24;
  job.names = MakeGroupNames(target, temp_base);
  TSaveScanningThread thread(job, LocalFileStore(), vx::SystemClock(), vx::InlineMainThread(), nullptr);
  thread.Start();
  thread.Wait();
  for (int n = 1; n <= kPages; ++n) LocalFileStore().Remove(PageFileName(temp_base, n, ".jpg"));
  return SaveErrorFlag() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--child-save") == 0) return ChildSave(argv[2], argv[3]);

  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return 1;
  g.self.assign(self, static_cast<size_t>(n));
  auto folder = LocalFileStore().MakePrivateFolder("vx-scan-bench-");
  if (!folder) return 1;
  g.folder = *folder;
  g.temp_base = g.folder + "page";
  std::fprintf(stderr, "generating %d pages of %d x %d in %s\n", kPages, kWidth, kHeight, g.folder.c_str());
  for (int p = 1; p <= kPages; ++p) {
    g.sources.push_back(g.folder + "source" + std::to_string(p) + ".bmp");
    if (!LocalFileStore().WriteAll(g.sources.back(), MakePage(p))) return 1;
  }

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  if (totals.runs > 0) {
    std::printf(
        "\nPDF saving of %d pages vs cjpeg -quality 75 on the same BMP files (%d runs):\n"
        "  time  ours %.3f s, cjpeg %.3f s, ratio %.3f (target <= 1.15)\n"
        "  peak  ours %.1f MB = %.2f x page bitmap (target < 3), cjpeg %.1f MB = %.2f x page bitmap\n",
        kPages, totals.runs, totals.ours_s / totals.runs, totals.cjpeg_s / totals.runs,
        totals.ours_s / totals.cjpeg_s, totals.ours_peak_kb / 1024.0,
        totals.ours_peak_kb * 1024.0 / kPageBitmapBytes, totals.cjpeg_peak_kb / 1024.0,
        totals.cjpeg_peak_kb * 1024.0 / kPageBitmapBytes);
  }
  std::filesystem::remove_all(g.folder);
  return 0;
}
