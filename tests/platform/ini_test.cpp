#include "platform/ini.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/platform/scratch_dir.h"

namespace dorvik::platform {
namespace {

namespace fs = std::filesystem;
using test_util::ReadAll;

// A scratch folder that can count its files.
struct TempDir : test_util::ScratchDir {
  size_t Count() const { return std::distance(fs::directory_iterator(Path()), fs::directory_iterator{}); }
};

TEST(ParseBool, ReadsWordsAndNumbersKeepsDefaultOtherwise) {
  struct Case { std::string_view Text; bool Default; bool Expect; };
  const Case cases[] = {
      {"Yes", false, true}, {"yes", false, true},  {"TRUE", false, true},   {"true", false, true},
      {"No", true, false},  {"NO", true, false},   {"False", true, false},  {"0", true, false},
      {"1", false, true},   {"-7", false, true},   {" Yes ", false, true},  {"", true, true},
      {"", false, false},   {"maybe", true, true}, {"maybe", false, false}, {"1x", true, true},
      {"Y", false, false},  {"+0", true, false},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseBool(c.Text, c.Default), c.Expect) << c.Text;
  EXPECT_EQ(BoolText(true), "Yes");
  EXPECT_EQ(BoolText(false), "No");
}

TEST(IniFile, ReadsCaseInsensitiveAndKeepsOtherLines) {
  IniFile f;
  f.Parse("Target=VOV51\r\n[Loader]\r\nCode=No\r\n; a comment\r\n\r\n[COM]\r\nBaud=9600\r\n");
  EXPECT_EQ(f.ReadString("", "target"), "VOV51");
  EXPECT_FALSE(f.ReadBool("LOADER", "CODE", true));
  EXPECT_EQ(f.ReadInteger("com", "baud", 0), 9600);
  EXPECT_EQ(f.ReadString("COM", "Port", "none"), "none");
  EXPECT_EQ(f.ReadString("NOSUCH", "Baud", "d"), "d");
  f.WriteString("loader", "Lines", "Yes");
  EXPECT_EQ(f.Text(), "Target=VOV51\n[Loader]\nCode=No\n; a comment\nLines=Yes\n\n[COM]\nBaud=9600\n");
}

TEST(IniFile, WritesReplaceInPlaceAndAddSections) {
  IniFile f;
  f.WriteString("", "Target", "ADUC");
  f.WriteBool("LOADER", "Code", true);
  f.WriteInteger("LOADER", "N", -5);
  f.WriteBool("loader", "CODE", false);
  EXPECT_EQ(f.Text(), "Target=ADUC\n[LOADER]\nCode=No\nN=-5\n");
  EXPECT_EQ(f.ReadInteger("LOADER", "N", 0), -5);
  f.WriteString("", "Other", "1");
  EXPECT_EQ(f.Text(), "Target=ADUC\nOther=1\n[LOADER]\nCode=No\nN=-5\n");
}

TEST(IniFile, ValuesKeepEqualsSignsAndSpacesAndNonNumbersTheIntegerDefault) {
  IniFile f;
  f.Parse("[A]\nx=12abc\ny=\nz= 42 \nw=99999999999999999999999\n");
  EXPECT_EQ(f.ReadInteger("A", "x", 7), 7);
  EXPECT_EQ(f.ReadInteger("A", "y", 7), 7);
  EXPECT_EQ(f.ReadInteger("A", "z", 7), 42);
  EXPECT_EQ(f.ReadInteger("A", "w", 7), 7);
  f.Parse("[A]\n key = a=b \n");
  EXPECT_EQ(f.ReadString("A", "KEY"), " a=b ");
  EXPECT_EQ(f.ReadSection("a"), (std::vector<std::string>{"key"}));
}

TEST(IniFile, LineBreaksInAValueCannotMakeKeysOrSections) {
  IniFile f;
  f.Parse("[HISTORY]\n18H1=old\n");
  f.WriteString("HISTORY", "18H1", "A\r\n[LOADER]\nCode=No");
  f.WriteString("HISTORY", "18H2", "B\nC");
  IniFile back;
  back.Parse(f.Text());
  EXPECT_FALSE(back.SectionExists("LOADER"));
  EXPECT_EQ(back.ReadSection("HISTORY"), (std::vector<std::string>{"18H1", "18H2"}));
  EXPECT_EQ(back.ReadString("HISTORY", "18H1"), "A  [LOADER] Code=No");
  EXPECT_EQ(back.ReadString("HISTORY", "18H2"), "B C");
}

TEST(IniFile, DeleteKeyAndEraseSection) {
  IniFile f;
  f.Parse("T=1\n[A]\nx=1\ny=2\n[B]\nz=3\n");
  f.DeleteKey("A", "X");
  EXPECT_FALSE(f.ValueExists("A", "x"));
  EXPECT_TRUE(f.ValueExists("A", "y"));
  f.EraseSection("a");
  EXPECT_FALSE(f.SectionExists("A"));
  EXPECT_EQ(f.Text(), "T=1\n[B]\nz=3\n");
}

TEST(IniFile, SaveRoundTripsThroughTmpCopy) {
  TempDir dir;
  const std::string name = dir.File("proj.QPC");
  { std::ofstream(name) << "Target=OVIX52\n[LOADER]\nCode=Yes\n"; }
  IniFile f;
  ASSERT_TRUE(f.Load(name));
  f.WriteBool("LOADER", "Code", false);
  ASSERT_TRUE(f.Save(name));
  EXPECT_EQ(ReadAll(name), "Target=OVIX52\n[LOADER]\nCode=No\n");
  EXPECT_FALSE(FileExists(dir.File("proj.TMP")));
  EXPECT_EQ(dir.Count(), 1u);
  IniFile g;
  ASSERT_TRUE(g.Load(name));
  EXPECT_FALSE(g.ReadBool("LOADER", "Code", true));
}

TEST(IniFile, LoadOfMissingFileAndFailedSaveSetIOResult) {
  TempDir dir;
  TakeIOResult();
  IniFile f;
  f.Parse("[A]\nx=1\n");
  EXPECT_FALSE(f.Load(dir.File("none.ini")));
  EXPECT_EQ(f.Text(), "");
  EXPECT_NE(TakeIOResult(), 0);
  EXPECT_EQ(TakeIOResult(), 0);
  // A failed save reports its code.
  f.WriteString("A", "x", "1");
  EXPECT_FALSE(f.Save(dir.File("no/such/folder/x.ini")));
  EXPECT_NE(TakeIOResult(), 0);
}

TEST(Files, ChangeFileExtTouchesOnlyTheFilePart) {
  EXPECT_EQ(ChangeFileExt("/a/b/dorvik51", ".HST"), "/a/b/dorvik51.HST");
  EXPECT_EQ(ChangeFileExt("/a/b/x.QPC", ".TMP"), "/a/b/x.TMP");
  EXPECT_EQ(ChangeFileExt("/a.d/x", ".TMP"), "/a.d/x.TMP");
  EXPECT_EQ(ChangeFileExt("x.tar.gz", ".TMP"), "x.tar.TMP");
}

TEST(Files, ReadWholeFileAndOsTexts) {
  TempDir dir;
  std::string content;
  TakeIOResult();
  EXPECT_FALSE(ReadWholeFile(dir.File("missing"), content));
  EXPECT_EQ(TakeIOResult(), ENOENT);
  EXPECT_TRUE(WriteFileReplacing(dir.File("f.txt"), std::string("a\0b", 3)));
  EXPECT_TRUE(ReadWholeFile(dir.File("f.txt"), content));
  EXPECT_EQ(content, std::string("a\0b", 3));
  // A file of exactly the limit is read; one byte more is too big, also from a
  // device that tells no size; the content stays as it was.
  EXPECT_TRUE(ReadWholeFile(dir.File("f.txt"), content, 3));
  content = "kept";
  EXPECT_FALSE(ReadWholeFile(dir.File("f.txt"), content, 2));
  EXPECT_EQ(TakeIOResult(), EFBIG);
  EXPECT_FALSE(ReadWholeFile("/dev/zero", content, 10));
  EXPECT_EQ(TakeIOResult(), EFBIG);
  EXPECT_EQ(content, "kept");
  EXPECT_FALSE(OsErrorText(ENOENT).empty());
}

TEST(Files, AReplacingFileTakesThePathsPlaceOnlyWhenCommitted) {
  TempDir dir;
  const std::string path = dir.Write("f.hex", "old");
  {
    ReplacingFile file;
    ASSERT_TRUE(file.Create(path));
    ASSERT_TRUE(file.Write("new "));
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(dir.Count(), 2u);
  }  // not committed: dropped
  EXPECT_EQ(ReadAll(path), "old");
  EXPECT_EQ(dir.Count(), 1u);
  ReplacingFile file;
  ASSERT_TRUE(file.Create(path));
  ASSERT_TRUE(file.Write("new "));
  ASSERT_TRUE(file.Write("text"));
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ReadAll(path), "new text");
  EXPECT_EQ(dir.Count(), 1u);
  EXPECT_FALSE(file.Write("more"));  // closed
  EXPECT_EQ(TakeIOResult(), EBADF);
}

TEST(Files, AFileWithTheTemporaryExtensionIsNotItsOwnTemporaryFile) {
  TempDir dir;
  const std::string path = dir.Write("f.TMP", "old");
  {
    ReplacingFile file;
    ASSERT_TRUE(file.Create(path));
    ASSERT_TRUE(file.Write("new"));
  }
  EXPECT_EQ(ReadAll(path), "old");
  EXPECT_TRUE(WriteFileReplacing(path, "new"));
  EXPECT_EQ(ReadAll(path), "new");
  EXPECT_EQ(dir.Count(), 1u);
}

}  // namespace
}  // namespace dorvik::platform
