#include "project/projectfile.h"

#include <gtest/gtest.h>

namespace dorvik {
namespace {

TEST(ProjectFile, LoaderOptionsRoundTrip) {
  LoaderOptions o;
  o.LoadCode = false;
  o.LoadAppend = true;
  o.ClearCodeFlash = true;
  o.LoadAutomaticallyOnStart = true;
  o.LastLoadPath = "/home/u/p.hex";
  o.DownloadSpeed = 2;
  platform::IniFile f;
  WriteLoaderOptions(f, o);
  EXPECT_EQ(f.Text(),
            "[LOADER]\nCode=No\nLines=Yes\nSymbols=Yes\nAppend=Yes\nXDATALoad=No\n"
            "ClearDataFLASH=No\nClearCodeFLASH=Yes\nLoadAutomaticallyOnStart=Yes\n"
            "LastLoadPath=/home/u/p.hex\nDownload Speed=38400\n");
  // Read back into other options, they write the same text.
  LoaderOptions back;
  back.LoadLines = false;
  ReadLoaderOptions(f, back);
  platform::IniFile again;
  WriteLoaderOptions(again, back);
  EXPECT_EQ(again.Text(), f.Text());
  // Every Boolean option read as Yes and as No, into options that hold the other value.
  for (const bool value : {true, false}) {
    LoaderOptions all;
    for (bool* b : {&all.LoadCode, &all.LoadLines, &all.LoadSymbols, &all.LoadAppend, &all.LoadXData,
                    &all.ClearDataFlash, &all.ClearCodeFlash, &all.LoadAutomaticallyOnStart})
      *b = value;
    platform::IniFile yesNo;
    WriteLoaderOptions(yesNo, all);
    LoaderOptions other;
    for (bool* b : {&other.LoadCode, &other.LoadLines, &other.LoadSymbols, &other.LoadAppend, &other.LoadXData,
                    &other.ClearDataFlash, &other.ClearCodeFlash, &other.LoadAutomaticallyOnStart})
      *b = !value;
    ReadLoaderOptions(yesNo, other);
    platform::IniFile readBack;
    WriteLoaderOptions(readBack, other);
    EXPECT_EQ(readBack.Text(), yesNo.Text()) << value;
  }
  // Every speed choice writes its own rate and reads back.
  const char* rates[] = {"115200", "57600", "38400"};
  for (int speed : {0, 1, 2}) {
    o.DownloadSpeed = speed;
    WriteLoaderOptions(f, o);
    EXPECT_EQ(f.ReadString("LOADER", "Download Speed"), rates[speed]);
    ReadLoaderOptions(f, back);
    EXPECT_EQ(back.DownloadSpeed, speed);
  }
}

TEST(ProjectFile, LoaderOptionsReadLeniently) {
  platform::IniFile f;
  f.Parse(
      "[loader]\ncode=false\nLINES=0\nSymbols=maybe\nAppend=TRUE\nXDATALoad=1\n"
      "Download Speed=115200\n");
  LoaderOptions o;
  o.LoadSymbols = false;
  o.DownloadSpeed = 1;
  ReadLoaderOptions(f, o);
  EXPECT_FALSE(o.LoadCode);
  EXPECT_FALSE(o.LoadLines);
  EXPECT_FALSE(o.LoadSymbols);  // unreadable: kept
  EXPECT_TRUE(o.LoadAppend);
  EXPECT_TRUE(o.LoadXData);
  EXPECT_EQ(o.DownloadSpeed, 0);
  f.Parse("[LOADER]\nDownload Speed=1200\n");
  o.DownloadSpeed = 2;
  ReadLoaderOptions(f, o);
  EXPECT_EQ(o.DownloadSpeed, 2);  // not one of the choices: kept
}

TEST(ProjectFile, TargetLineNamesTheKind) {
  struct Case { std::string_view Text; uint8_t Expect; };
  const Case cases[] = {{"Target=OVIX52\n", 0},
                        {"Target=aduc\n", 2},
                        {"Target=VOV51\n", 3},
                        {"Target=\n", 1},
                        {"Target=PDP11\n", 9},
                        {"[X]\nTarget=ADUC\n", 9},
                        {"", 9}};
  for (const Case& c : cases) {
    platform::IniFile f;
    f.Parse(c.Text);
    EXPECT_EQ(ReadTargetKind(f, 9), c.Expect) << c.Text;
  }
  for (uint8_t kind : {0, 1, 2, 3}) {
    platform::IniFile f;
    f.Parse("[DORVIK]\nPos=1\n");
    WriteTargetKind(f, kind);
    EXPECT_EQ(f.Text().rfind("Target=", 0), 0u);
    EXPECT_EQ(ReadTargetKind(f, 9), kind);
  }
}

TEST(ProjectFile, BaudRateFromComSection) {
  platform::IniFile f;
  EXPECT_EQ(ReadBaudRate(f, 19200), 19200);
  f.Parse("[COM]\nBaud=57600\n");
  EXPECT_EQ(ReadBaudRate(f, 19200), 57600);
  for (const char* bad : {"[COM]\nBaud=fast\n", "[COM]\nBaud=-5\n"}) {
    f.Parse(bad);
    EXPECT_EQ(ReadBaudRate(f, 19200), 19200) << bad;
  }
}

}  // namespace
}  // namespace dorvik
