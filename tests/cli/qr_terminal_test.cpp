// The QR code as quillet-grab draws it in the terminal, read back with a QR
// decoder from a picture of the drawn text, and the private folder its
// pictures are saved in.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "booking/requests.h"
#include "cli/private_folder.h"
#include "cli/qr_drawing.h"
#include "support/qr_decoder.h"

namespace quillet::cli {
namespace {

constexpr int kPixelsPerModule = 4;

// Drops the colour sequences (ESC [ ... m) of a drawing.
std::string WithoutColour(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x1b') {
      while (i < text.size() && text[i] != 'm') ++i;
      continue;
    }
    plain.push_back(text[i]);
  }
  return plain;
}

// The drawing's cells as module pairs: per line, per cell, {top light, bottom light}.
std::vector<std::vector<std::pair<bool, bool>>> Cells(const std::string& drawing) {
  std::vector<std::vector<std::pair<bool, bool>>> lines(1);
  for (std::size_t i = 0; i < drawing.size();) {
    if (drawing[i] == '\n') {
      lines.emplace_back();
      ++i;
    } else if (drawing[i] == ' ') {
      lines.back().push_back({false, false});
      ++i;
    } else if (drawing.compare(i, 3, "\u2588") == 0) {
      lines.back().push_back({true, true});
      i += 3;
    } else if (drawing.compare(i, 3, "\u2580") == 0) {
      lines.back().push_back({true, false});
      i += 3;
    } else if (drawing.compare(i, 3, "\u2584") == 0) {
      lines.back().push_back({false, true});
      i += 3;
    } else {
      ADD_FAILURE() << "unexpected byte " << static_cast<int>(static_cast<unsigned char>(drawing[i])) << " at " << i;
      return {};
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

// A greyscale picture (PGM) of the drawing as a terminal shows it: every
// cell two modules high and one wide, glyphs light and spaces dark.
std::string Picture(const std::vector<std::vector<std::pair<bool, bool>>>& cells) {
  const std::size_t columns = cells.empty() ? 0 : cells.front().size();
  const std::size_t width = columns * kPixelsPerModule;
  const std::size_t height = cells.size() * 2 * kPixelsPerModule;
  std::string pgm = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  for (const auto& line : cells) {
    for (int half = 0; half < 2; ++half) {
      for (int repeat = 0; repeat < kPixelsPerModule; ++repeat) {
        for (const auto& [top, bottom] : line) {
          const bool light = half == 0 ? top : bottom;
          pgm.append(kPixelsPerModule, static_cast<char>(light ? 255 : 0));
        }
      }
    }
  }
  return pgm;
}

TEST(QrDrawing, DecodesBackToTheContentWithAQuietZone) {
  const std::vector<std::string> contents = {
      QrSignInContent("PucvNYR8XpXAYIdlwx33-M841YIYrM-S"),
      "https://example.org/",
      std::string(300, 'x') + "?uuid=1",
      "北京南 G101 上海虹桥",
  };
  for (const std::string& content : contents) {
    SCOPED_TRACE(content);
    const auto drawing = DrawQrCode(content, false);
    ASSERT_TRUE(drawing);
    const auto modules = QrModules(content);
    ASSERT_TRUE(modules);
    const auto cells = Cells(*drawing);
    const std::size_t side = modules->size() + 2 * kQrQuietModules;
    ASSERT_EQ(cells.size(), (side + 1) / 2);
    for (std::size_t row = 0; row < cells.size(); ++row) {
      ASSERT_EQ(cells[row].size(), side) << "line " << row;
      // Four light modules on each side, and above the code.
      for (std::size_t column = 0; column < kQrQuietModules; ++column) {
        EXPECT_TRUE(cells[row][column].first && cells[row][column].second) << row << "," << column;
        EXPECT_TRUE(cells[row][side - 1 - column].first && cells[row][side - 1 - column].second);
      }
    }
    for (std::size_t row = 0; row < kQrQuietModules / 2; ++row) {
      for (const auto& [top, bottom] : cells[row]) EXPECT_TRUE(top && bottom) << "line " << row;
    }
    EXPECT_EQ(test::DecodeQrPicture(Picture(cells)), content);
    // On a terminal the same drawing comes white on black.
    const auto coloured = DrawQrCode(content, true);
    ASSERT_TRUE(coloured);
    EXPECT_NE(*coloured, *drawing);
    EXPECT_EQ(WithoutColour(*coloured), *drawing);
  }
}

// Two accounts' codes of different sizes side by side: each column range
// reads back as its code, under its account's name.
TEST(QrDrawing, CodesSideBySideEachReadBackUnderItsCaption) {
  const std::vector<CaptionedQr> codes = {{"张伟", QrSignInContent("PucvNYR8XpXAYIdlwx33-M841YIYrM-S")},
                                          {"second", std::string(200, 'y')}};
  const auto drawing = DrawQrCodesSideBySide(codes, true);
  ASSERT_TRUE(drawing);
  const std::size_t captionEnd = drawing->find('\n');
  const std::string captions = drawing->substr(0, captionEnd);
  const auto cells = Cells(WithoutColour(drawing->substr(captionEnd + 1)));
  std::size_t left = 0;
  for (const CaptionedQr& code : codes) {
    SCOPED_TRACE(code.caption);
    const std::size_t side = QrModules(code.content)->size() + 2 * kQrQuietModules;
    std::vector<std::vector<std::pair<bool, bool>>> own;
    for (const auto& line : cells) own.emplace_back(line.begin() + left, line.begin() + left + side);
    EXPECT_EQ(test::DecodeQrPicture(Picture(own)), code.content);
    // The caption starts above the code's first column (one column a character).
    std::size_t column = 0;
    std::size_t at = 0;
    while (column < left && at < captions.size()) {
      at += (static_cast<unsigned char>(captions[at]) & 0xC0) != 0x80 ? 1 : 0;
      while (at < captions.size() && (static_cast<unsigned char>(captions[at]) & 0xC0) == 0x80) ++at;
      ++column;
    }
    EXPECT_EQ(captions.compare(at, code.caption.size(), code.caption), 0) << captions;
    left += side;
  }
  EXPECT_EQ(cells.front().size(), left);
}

TEST(QrDrawing, TooMuchContentIsNoDrawing) { EXPECT_FALSE(DrawQrCode(std::string(8000, 'x'), false)); }

class PrivateFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = std::filesystem::temp_directory_path() / ("quillet-private-" + std::to_string(::getpid()));
    std::filesystem::create_directories(base_);
  }
  void TearDown() override { std::filesystem::remove_all(base_); }
  static unsigned Mode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
  }
  std::filesystem::path base_;
};

TEST_F(PrivateFolderTest, PicturesAreForTheUserAloneAndGoWithTheFolder) {
  const std::string runtime = (base_ / "runtime").string();
  std::filesystem::create_directories(runtime);
  struct Case {
    const char* runtimeDir;
    std::string expectedParent;
  };
  const std::string missing = (base_ / "missing").string();
  for (const Case& c : {Case{runtime.c_str(), runtime}, Case{nullptr, base_.string()},
                        Case{missing.c_str(), base_.string()}, Case{"relative", base_.string()}}) {
    SCOPED_TRACE(c.runtimeDir == nullptr ? "unset" : c.runtimeDir);
    std::string folderPath;
    std::string picture;
    {
      PrivateFolder folder(c.runtimeDir, base_.string().c_str());
      folderPath = folder.Path();
      ASSERT_FALSE(folderPath.empty());
      EXPECT_EQ(std::filesystem::path(folderPath).parent_path().string(), c.expectedParent);
      EXPECT_EQ(Mode(folderPath), 0700u);
      const PrivateFolder::Saved first = folder.Save("picture", "quillet-qr", ".png");
      const PrivateFolder::Saved second = folder.Save("other", "quillet-qr", ".png");
      ASSERT_FALSE(first.path.empty()) << first.error;
      ASSERT_FALSE(second.path.empty()) << second.error;
      EXPECT_NE(first.path, second.path);
      EXPECT_EQ(Mode(first.path), 0600u);
      folder.Remove(first.path);
      EXPECT_FALSE(std::filesystem::exists(first.path));
      folder.Remove("/etc/passwd");  // only its own files
      EXPECT_TRUE(std::filesystem::exists("/etc/passwd"));
      picture = second.path;
    }
    EXPECT_FALSE(std::filesystem::exists(picture));
    EXPECT_FALSE(std::filesystem::exists(folderPath));
  }
}

}  // namespace
}  // namespace quillet::cli
