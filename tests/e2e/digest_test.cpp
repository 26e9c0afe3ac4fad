// The MD5 column as the user gets it: the digests on the clipboard, byte for
// byte, in every form; files that cannot be read get a box and no digits;
// a long digest shows its progress and can be cancelled.
//
// The expected digests were computed outside the program (md5sum) from the
// same deterministic contents.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

const char* const HEAD = "http://www.example.com/files/";
const char* const DIGEST_STAGE = "ファイルの MD5 値の取得中";
const char* const CANCELLED_TITLE = "Quorvane: キャンセルされました。";

// Bytes with a period of 251, prime to the chunk size: a chunk that is lost,
// repeated or taken out of order changes the digest.
std::string patternBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

struct Sample {
  const char* name;
  std::size_t size;
  const char* sizeText;  // with the default "," grouping
  const char* md5;       // md5sum of patternBytes(size)
  const char* sha256;    // sha256sum of the same
};

// Around the chunk size of 131072 bytes, and a few chunks with a short tail.
// Listed in sorted order; every name is at most 11 bytes and every size text
// at most 9.
const Sample SAMPLES[] = {
    {"f0.bin", 0, "0", "d41d8cd98f00b204e9800998ecf8427e",
     "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"f1.bin", 1, "1", "93b885adfe0da089cdf634904fd59f71",
     "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d"},
    {"f131072.bin", 131072, "131,072", "d02199a197fb4b1777525fe375f9f5f1",
     "feb1e4409d009e0ec502eaabe321f86b5197a881e9b765252ec8a75d6957596d"},
    {"f131073.bin", 131073, "131,073", "060bb13f48ee4b4ef00c6e28d0f4fce8",
     "dd84db969f4ff2abb79c8c2fbc06e8d8e02c46d6481c958e057f7ad7a24c58a7"},
    {"f3m.bin", 3 * 1048576 + 5, "3,145,733", "028bfcc1395093c0df0dc731de96e1b5",
     "b01669d77761c4dfdfc8fb927821087bcf5c9ef1f917c4f1f8504e529f19edab"},
};
constexpr std::size_t SAMPLE_PATH_WIDTH = 11;
constexpr std::size_t SAMPLE_SIZE_WIDTH = 9;

std::string padRight(const std::string& text, std::size_t width) {
  return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}
std::string padLeft(const std::string& text, std::size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

enum class Form { Bracketed, Wide, Tab };

// The line of one entry as the default settings write it; an empty digest
// stands for a file whose digest could not be taken.
std::string entryLine(Form form, const std::string& name, std::size_t pathWidth,
                      const std::string& sizeText, std::size_t sizeWidth,
                      const std::string& digest, const std::string& algorithm = "MD5") {
  if (form == Form::Tab) return HEAD + name + "\t" + sizeText + "\t" + digest + "\r\n";
  const bool wide = form == Form::Wide;
  std::string line = HEAD + padRight(name, pathWidth) + (wide ? " （" : " (") +
                     padLeft(sizeText, sizeWidth) + " bytes";
  if (!digest.empty()) {
    line += (wide ? "、" + algorithm + "： " : ", " + algorithm + ": ") + digest;
  }
  return line + (wide ? "）\r\n" : ")\r\n");
}

std::string samplesText(Form form, bool sha256 = false) {
  std::string text;
  if (form == Form::Tab) text = sha256 ? "URL\tサイズ\tSHA-256\r\n" : "URL\tサイズ\tMD5\r\n";
  for (const Sample& sample : SAMPLES) {
    text += entryLine(form, sample.name, SAMPLE_PATH_WIDTH, sample.sizeText, SAMPLE_SIZE_WIDTH,
                      sha256 ? sample.sha256 : sample.md5, sha256 ? "SHA-256" : "MD5");
  }
  return text;
}

std::string openFailure(const std::string& path) {
  return "ファイル \"" + path + "\" のオープンに失敗しました。";
}

// Another program's handle on a file, kept open for the life of the object.
class HeldFile {
 public:
  HeldFile(const std::string& path, DWORD access, DWORD share)
      : handle_(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldFile() {
    if (ok()) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class Digest : public ::testing::Test {
 protected:
  void writeSamples() {
    for (const Sample& sample : SAMPLES) {
      ASSERT_TRUE(box_.writeFile(sample.name, patternBytes(sample.size))) << sample.name;
    }
  }
  // The samples in reverse order: the digests are taken before the sort and
  // must stay with their files.
  std::string sampleArguments() const {
    std::string arguments;
    for (std::size_t i = sizeof SAMPLES / sizeof SAMPLES[0]; i-- > 0;) {
      arguments += " " + e2e::quoted(box_.path(SAMPLES[i].name));
    }
    return arguments;
  }

  e2e::Sandbox box_;
};

TEST_F(Digest, DigestsOnTheClipboardInEveryForm) {
  writeSamples();
  struct Case {
    const char* options;
    Form form;
  };
  // Tab output ignores /W: the digest follows a plain tab.
  const Case cases[] = {{"/M", Form::Bracketed},
                        {"/M /W", Form::Wide},
                        {"/M /O", Form::Tab},
                        {"/W /O /M", Form::Tab}};
  for (const Case& run : cases) {
    SCOPED_TRACE(run.options);
    const e2e::Outcome out = box_.run(run.options + sampleArguments());
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_TRUE(out.messages.empty()) << out.summary();
    EXPECT_EQ(out.clipboard, samplesText(run.form)) << out.summary();
  }
}

// The algorithm from the INI file or /H:, whichever comes last, in every
// form; the pass names it on status line 1.
TEST_F(Digest, Sha256InEveryFormFromTheIniFileOrTheOption) {
  writeSamples();
  struct Case {
    const char* ini;
    const char* options;
    Form form;
    bool sha256;
  };
  const Case cases[] = {{"", "/H:SHA256 /M", Form::Bracketed, true},
                        {"", "/M /W /h=sha-256", Form::Wide, true},
                        {"", "/H:SHA-256 /M /O", Form::Tab, true},
                        {"", "/W /O /M /H:md5 /H:Sha256", Form::Tab, true},
                        {"DigestAlgorithm=SHA256", "/M", Form::Bracketed, true},
                        {"DigestAlgorithm=SHA256", "/M /W /H:MD5", Form::Wide, false}};
  for (const Case& run : cases) {
    SCOPED_TRACE(std::string(run.ini) + " " + run.options);
    ASSERT_TRUE(box_.writeIni(std::string("[Options]\r\n") + run.ini + "\r\n"));
    const e2e::Outcome out = box_.run(run.options + sampleArguments());
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    EXPECT_TRUE(out.messages.empty()) << out.summary();
    EXPECT_EQ(out.clipboard, samplesText(run.form, run.sha256)) << out.summary();
  }
}

// A file far larger than any machine hashes in five seconds: the window
// comes up naming the pass, and the test ends the run there.
TEST_F(Digest, Sha256PassNamesItselfOnTheWindow) {
  ASSERT_TRUE(box_.writeFileOfSize("huge.bin", 256ull << 30));
  e2e::LaunchOptions options;
  options.endWhen = [](const e2e::WindowState& state) { return state.visible; };
  const e2e::Outcome out = box_.run("/H:SHA256 /M " + e2e::quoted(box_.path("huge.bin")), options);
  ASSERT_TRUE(out.window.shown) << out.summary();
  EXPECT_EQ(out.window.whenShown.line1, "ファイルの SHA-256 値の取得中") << out.summary();
  EXPECT_EQ(out.window.whenShown.line2, "huge.bin") << out.summary();
}

TEST_F(Digest, IniSwitchesDigestsOnAndTheOptionOff) {
  writeSamples();
  ASSERT_TRUE(box_.writeIni("[Options]\r\nShowMD5=1\r\n"));
  e2e::Outcome out = box_.run(sampleArguments().substr(1));
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, 0) << out.summary();
  EXPECT_EQ(out.clipboard, samplesText(Form::Bracketed)) << out.summary();

  // /m wins over the INI file: no digest part and no MD5 column.
  out = box_.run("/m /O" + sampleArguments());
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, 0) << out.summary();
  std::string expected = "URL\tサイズ\r\n";
  for (const Sample& sample : SAMPLES) {
    expected += std::string(HEAD) + sample.name + "\t" + sample.sizeText + "\r\n";
  }
  EXPECT_EQ(out.clipboard, expected) << out.summary();
}

// Our open asks for read access and lets others only read: a writer holding
// the file, whatever it lets others do, makes it fail. A mere reader does not.
TEST_F(Digest, FileHeldOpenForWritingGetsABoxAndNoDigest) {
  ASSERT_TRUE(box_.writeFile("held.txt", "held"));
  ASSERT_TRUE(box_.writeFile("ok.txt", "other file\n"));
  const std::string held = box_.path("held.txt");
  const std::string arguments = e2e::quoted(held) + " " + e2e::quoted(box_.path("ok.txt"));
  const std::string okDigest = "a9f9652aa43fa4db44e783cc5aac7ca7";
  const std::string heldDigest = "0eb29f5d6149e84750bcd6f6e741a7a1";

  struct Case {
    const char* options;
    Form form;
    DWORD share;
  };
  const Case cases[] = {{"/M", Form::Bracketed, 0},
                        {"/M", Form::Bracketed, FILE_SHARE_READ},
                        {"/M /O", Form::Tab, 0},
                        {"/M /W", Form::Wide, FILE_SHARE_READ | FILE_SHARE_WRITE}};
  for (const Case& run : cases) {
    SCOPED_TRACE(std::string(run.options) + ", share " + std::to_string(run.share));
    HeldFile writer(held, GENERIC_WRITE, run.share);
    ASSERT_TRUE(writer.ok());
    const e2e::Outcome out = box_.run(std::string(run.options) + " " + arguments);
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, 0) << out.summary();
    ASSERT_EQ(out.messages.size(), 1u) << out.summary();
    EXPECT_EQ(out.messages[0].text, openFailure(held));
    EXPECT_EQ(out.messages[0].icon, e2e::Icon::Error);
    EXPECT_EQ(out.messages[0].owner, nullptr);
    const std::string header = run.form == Form::Tab ? "URL\tサイズ\tMD5\r\n" : "";
    EXPECT_EQ(out.clipboard, header + entryLine(run.form, "held.txt", 8, "4", 2, "") +
                                 entryLine(run.form, "ok.txt", 8, "11", 2, okDigest))
        << out.summary();
  }

  HeldFile reader(held, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_TRUE(reader.ok());
  const e2e::Outcome out = box_.run("/M " + arguments);
  ASSERT_TRUE(out.finished()) << out.summary();
  EXPECT_EQ(out.exitCode, 0) << out.summary();
  EXPECT_TRUE(out.messages.empty()) << out.summary();
  EXPECT_EQ(out.clipboard, entryLine(Form::Bracketed, "held.txt", 8, "4", 2, heldDigest) +
                               entryLine(Form::Bracketed, "ok.txt", 8, "11", 2, okDigest))
      << out.summary();
}

// A file held by a writer comes first; while its box is up, the next file
// is deleted. Both get their box, in digest order, and neither a digest.
TEST_F(Digest, FileDeletedAfterCollectionGetsABoxAndNoDigest) {
  ASSERT_TRUE(box_.writeFile("held.txt", "held"));
  ASSERT_TRUE(box_.writeFile("gone.txt", "soon gone"));
  ASSERT_TRUE(box_.writeFile("ok.txt", "other file\n"));
  const std::string held = box_.path("held.txt");
  const std::string gone = box_.path("gone.txt");
  HeldFile writer(held, GENERIC_WRITE, 0);
  ASSERT_TRUE(writer.ok());
  // The held file's box blocks the digest pass: the file collected after
  // it is gone by the time its turn comes.
  bool deleted = false;
  e2e::LaunchOptions options;
  options.beforeAnswer = [&](const e2e::MessageBoxSeen&) {
    if (!deleted) deleted = DeleteFileA(gone.c_str()) != FALSE;
  };

  const e2e::Outcome out = box_.run("/M /O " + e2e::quoted(held) + " " + e2e::quoted(gone) +
                                    " " + e2e::quoted(box_.path("ok.txt")), options);
  ASSERT_TRUE(out.finished()) << out.summary();
  ASSERT_TRUE(deleted) << out.summary();
  EXPECT_EQ(out.exitCode, 0) << out.summary();
  ASSERT_EQ(out.messages.size(), 2u) << out.summary();
  EXPECT_EQ(out.messages[0].text, openFailure(held));
  EXPECT_EQ(out.messages[1].text, openFailure(gone));
  EXPECT_EQ(out.messages[1].icon, e2e::Icon::Error);
  EXPECT_EQ(out.clipboard, std::string("URL\tサイズ\tMD5\r\n") + HEAD + "gone.txt\t9\t\r\n" +
                               HEAD + "held.txt\t4\t\r\n" + HEAD +
                               "ok.txt\t11\ta9f9652aa43fa4db44e783cc5aac7ca7\r\n")
      << out.summary();
}

// A sparse file far larger than any digest finishes within the test: the
// window comes up with the stage, the decoded name and a moving bar, and a
// cancel ends the run at the next chunk. The cancel waits until the shown
// bar has moved twice, however long a busy machine takes for that.
TEST_F(Digest, LargeFileShowsProgressAndCancelEndsTheRun) {
  const std::string name = "大きな ファイル.bin";
  ASSERT_TRUE(box_.writeFileOfSize(name, 16ull << 30));
  e2e::LaunchOptions options;
  std::vector<int> shownBars;
  options.cancelWhen = [&shownBars](const e2e::WindowState& state) {
    if (!state.visible || state.bar < 0) return false;
    if (shownBars.empty() || shownBars.back() != state.bar) shownBars.push_back(state.bar);
    return shownBars.size() >= 3;
  };
  options.timeoutMs = 60000;
  const e2e::Outcome out = box_.run("/M " + e2e::quoted(box_.path(name)), options);
  ASSERT_TRUE(out.finished()) << out.summary();

  const e2e::WindowSeen& window = out.window;
  ASSERT_TRUE(window.shown) << out.summary();
  // Not before five seconds from the window's creation, and while the file,
  // far too large to be done by then, was still being read.
  const std::int64_t sinceCreated = window.shownMs - window.timeline.front().atMs;
  EXPECT_GE(sinceCreated, 4500) << out.summary();
  EXPECT_EQ(window.whenShown.line1, DIGEST_STAGE) << out.summary();
  // EncodeURL is on, so the URL path is percent-encoded; the status shows
  // the name as it is.
  EXPECT_EQ(window.whenShown.line2, name) << out.summary();

  ASSERT_NE(window.cancelPressedMs, e2e::NEVER);
  std::vector<int> positions;
  for (const e2e::WindowState& state : window.timeline) {
    if (!state.exists || !state.visible || state.bar < 0) continue;
    if (state.atMs > window.cancelPressedMs) break;
    if (positions.empty() || positions.back() != state.bar) positions.push_back(state.bar);
  }
  ASSERT_GE(positions.size(), 2u) << out.summary();
  for (std::size_t i = 1; i < positions.size(); ++i) {
    EXPECT_GT(positions[i], positions[i - 1]) << out.summary();
  }
  EXPECT_LT(positions.back(), 1024) << out.summary();

  EXPECT_EQ(out.exitCode, -11) << out.summary();
  // One second's pause before the window closes, then the end: soon, though
  // a busy machine may take some seconds more (the exit code above already
  // says the cancel, not the end of the file, ended the run).
  EXPECT_GE(out.endedMs - window.cancelPressedMs, 900) << out.summary();
  EXPECT_LE(out.endedMs - window.cancelPressedMs, 10000) << out.summary();
  EXPECT_EQ(window.last().title, CANCELLED_TITLE) << out.summary();
  EXPECT_FALSE(IsWindow(window.handle));
  EXPECT_TRUE(out.messages.empty()) << out.summary();
  EXPECT_TRUE(out.sentinelKept) << out.summary();
}

}  // namespace
