#include "scan/scan_naming.h"

#include <gtest/gtest.h>

#include <set>

#include "scan/test_support.h"

namespace vx::scan {
namespace {

// A file system that only knows which names exist, and counts the questions.
class NamesOnly final : public FileStore {
 public:
  std::set<std::string> existing;
  bool all_exist = false;
  mutable int asked = 0;

  bool Exists(const std::string& path) const override {
    ++asked;
    return all_exist || existing.count(path) > 0;
  }
  bool Read(const std::string&, std::vector<uint8_t>&, size_t) const override { return false; }
  std::unique_ptr<OutputFile> Create(const std::string&) override { return nullptr; }
  bool Patch(const std::string&, uint64_t, std::span<const uint8_t>) override { return false; }
  bool Remove(const std::string&) override { return false; }
  std::optional<std::string> MakePrivateFolder(const std::string&) override { return std::nullopt; }
  bool RemoveFolder(const std::string&) override { return false; }
};

TEST(ScanNaming, GroupNamesFromATarget) {
  // Dots in folders and names stay; only the last dot of the file name starts the extension.
  auto parts = SplitPath("C:\\My.Pictures\\scan.v2.pdf");
  EXPECT_EQ(parts.folder, "C:\\My.Pictures\\");
  EXPECT_EQ(parts.name, "scan.v2");
  EXPECT_EQ(parts.extension, ".pdf");
  EXPECT_EQ(SplitPath("out.d/Picture").extension, "");
  auto names = MakeGroupNames("/p/Picture3.pdf", "/tmp/x/page");
  EXPECT_EQ(names.base, "/p/Picture3");
  EXPECT_EQ(TransferBmpName(GroupFormat::kPdf, names, 2), "/tmp/x/page_2.bmp");
  EXPECT_EQ(TransferBmpName(GroupFormat::kJpg, names, 1), "/p/Picture3.bmp");
  EXPECT_EQ(PageInfoFile(GroupFormat::kPdf, names, 3), "/p/Picture3.pdf");
  EXPECT_EQ(PageInfoFile(GroupFormat::kJpg, names, 3), "/p/Picture3_3.jpg");
}

TEST(ScanNaming, ABmpOrJpegOfTheBaseNameBlocksEveryFormat) {
  NamesOnly files;
  files.existing = {"/p/Picture.bmp"};
  auto choice = ChooseTargetFileName(files, "/p/", "Picture", GroupFormat::kJpg);
  EXPECT_EQ(choice.status, TargetChoice::kFree);
  EXPECT_EQ(choice.target, "/p/Picture1.jpg");

  // A PDF of the base name blocks only PDF groups; numbered names are checked the same way.
  files.existing = {"/p/Picture.pdf", "/p/Picture1.jpg", "/p/Picture2.pdf"};
  EXPECT_EQ(ChooseTargetFileName(files, "/p/", "Picture", GroupFormat::kBmp).target, "/p/Picture.bmp");
  EXPECT_EQ(ChooseTargetFileName(files, "/p/", "Picture", GroupFormat::kPdf).target, "/p/Picture3.pdf");
}

TEST(ScanNaming, AfterThe1001stTryTheCallerDecides) {
  NamesOnly files;
  files.all_exist = true;
  int asked_at = -1;
  auto choice = ChooseTargetFileName(files, "/p/", "Picture", GroupFormat::kPdf, [&] {
    asked_at = files.asked;
    return NameClash::kOverwrite;
  });
  EXPECT_EQ(asked_at, 1001);  // the base name and Picture1 ... Picture1000, one check each
  EXPECT_EQ(choice.status, TargetChoice::kOverwrite);
  EXPECT_EQ(choice.target, "/p/Picture.pdf");

  EXPECT_EQ(ChooseTargetFileName(files, "/p/", "Picture", GroupFormat::kPdf, [] { return NameClash::kStop; })
                .status,
            TargetChoice::kStopped);

  // Searching on finds Picture1500 once it is free.
  files.all_exist = false;
  for (int i = 0; i < 1500; ++i) files.existing.insert("/p/Picture" + (i ? std::to_string(i) : "") + ".jpg");
  choice = ChooseTargetFileName(files, "/p/", "Picture", GroupFormat::kBmp,
                                [] { return NameClash::kKeepSearching; });
  EXPECT_EQ(choice.target, "/p/Picture1500.bmp");
}

TEST(ScanNaming, NamesOf251CharactersAreRefused) {
  NamesOnly files;
  const std::string folder = "/" + std::string(240, 'f') + "/";  // 242 characters
  // 242 + "Pictu" + ".jpg" = 251; one character less is accepted.
  EXPECT_EQ(ChooseTargetFileName(files, folder, "Pictu", GroupFormat::kJpg).status, TargetChoice::kTooLong);
  EXPECT_EQ(ChooseTargetFileName(files, folder, "Pict", GroupFormat::kJpg).status, TargetChoice::kFree);
  // Characters, not bytes: a three-byte character counts once, a four-byte one twice.
  EXPECT_EQ(ChooseTargetFileName(files, folder, "\xe7\x94\xbb\xe5\x83\x8f", GroupFormat::kJpg).status,
            TargetChoice::kFree);
  EXPECT_EQ(NameLength("a\xe7\x94\xbb\xf0\x9f\x93\xb7"), 4u);
}

TEST(ScanTempArea, PrivateFolderThatIsRemovedWithOurFilesOnly) {
  FileStore& files = LocalFileStore();
  std::string folder;
  {
    ScanTempArea a(files), b(files);
    auto base_a = a.TempBase(), base_b = b.TempBase();
    ASSERT_TRUE(base_a && base_b);
    EXPECT_NE(*base_a, *base_b);
    EXPECT_EQ(a.TempBase(), base_a);  // fixed once made
    folder = SplitPath(*base_a).folder;
    ASSERT_TRUE(files.WriteAll(*base_a + ".jpg", std::vector<uint8_t>{1}));
    ASSERT_TRUE(files.WriteAll(*base_a + "_2.jpg", std::vector<uint8_t>{2}));
    a.DeletePages(1);
    EXPECT_FALSE(files.Exists(*base_a + ".jpg"));
    EXPECT_TRUE(files.Exists(*base_a + "_2.jpg"));
    a.DeletePages(2);
    EXPECT_FALSE(files.Exists(*base_a + "_2.jpg"));
    ASSERT_TRUE(files.WriteAll(*base_a + "_3.bmp", std::vector<uint8_t>{3}));
    a.DeletePages(3);
  }
  EXPECT_FALSE(files.Exists(folder));
}

TEST(PictureInfo, TextsOfThePictureInformation) {
  auto a4 = ShowPictureInfo(2480, 3508, 24, 300);
  EXPECT_EQ(a4.file_size, "24.9 MB");
  EXPECT_EQ(a4.bits, "24 bit(s)");
  EXPECT_EQ(a4.pixels, "2480 x 3508 pixels");
  EXPECT_EQ(a4.dimensions, "21 x 29.7 cm");
  EXPECT_EQ(a4.resolution, "300 dpi");

  EXPECT_EQ(ShowPictureInfo(32, 32, 8, 0).file_size, "1024 Bytes");
  EXPECT_EQ(ShowPictureInfo(1025, 1, 8, 0).file_size, "1.1 KB");   // rounded up to the next tenth
  EXPECT_EQ(ShowPictureInfo(1024, 1024, 8, 0).file_size, "1 MB");  // a tie rounds to even
  EXPECT_EQ(ShowPictureInfo(1000, 1000, 8, 0).file_size, "976.6 KB");
  EXPECT_EQ(ShowPictureInfo(100, 10, 1, 0).file_size, "125 Bytes");

  // Without a resolution, or a picture narrower than half a millimetre, no size in cm.
  auto none = ShowPictureInfo(100, 100, 24, 0);
  EXPECT_EQ(none.dimensions, "");
  EXPECT_EQ(none.resolution, "");
  EXPECT_EQ(ShowPictureInfo(1, 100, 24, 600).dimensions, "");
  EXPECT_EQ(ShowPictureInfo(850, 1100, 1, 100).dimensions, "21.6 x 27.9 cm");
}

}  // namespace
}  // namespace vx::scan
