// What the release hands the user must stay true: every example of the
// Japanese guide is run here as it stands, on the sample folder the guide
// describes, and the clipboard (or the message box) is compared byte for
// byte with the text printed under it; and the sample INI file of the zip
// must leave the program's built-in behaviour untouched.
//
// The guide marks its examples for this test (the marks are fence info
// strings, which a Markdown reader does not show):
//
//   ```ini qv-ini            optional: the INI file beside the program
//   ```bat qv-example        one line, as typed at the prompt in the sample's
//                            folder, where the program lies too
//   ```text qv-clipboard     the clipboard text, one line per line (CR LF)
//   ```text qv-message exit=N   or: the message box text, and the exit code
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

std::string windowsPathOf(const char* unixPath) {
  std::string path = std::string("Z:") + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The guide is UTF-8; the program speaks code page 932. A character that 932
// has no byte for would make the example untestable, so it fails the test.
bool utf8ToCp932(const std::string& utf8, std::string& cp932) {
  if (utf8.empty()) {
    cp932.clear();
    return true;
  }
  const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                             static_cast<int>(utf8.size()), nullptr, 0);
  if (wideLength <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], wideLength);
  BOOL lossy = FALSE;
  const int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                         nullptr, 0, nullptr, &lossy);
  if (length <= 0 || lossy) return false;
  cp932.assign(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, &cp932[0], length,
                      nullptr, nullptr);
  return true;
}

struct Fence {
  std::string info;                // the words after the opening ```
  std::vector<std::string> lines;  // UTF-8, without line ends
  int line = 0;                    // of the opening fence, for messages
};

std::vector<Fence> fencesOf(const std::string& markdown) {
  std::vector<Fence> fences;
  std::istringstream in(markdown);
  std::string line;
  Fence* open = nullptr;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, 3, "```") == 0) {
      if (open != nullptr) {
        open = nullptr;
      } else {
        fences.push_back(Fence{line.substr(3), {}, number});
        open = &fences.back();
      }
    } else if (open != nullptr) {
      open->lines.push_back(line);
    }
  }
  return fences;
}

struct Example {
  int line = 0;
  std::string command;   // UTF-8, as the guide prints it
  std::string ini;       // CP932, CR LF; empty: no INI file
  std::string program;      // file name of the program
  std::string commandLine;  // CP932, exactly as typed
  bool expectsMessage = false;
  std::string expected;  // CP932: the clipboard (CR LF) or the message (LF)
  int exitCode = 0;
};

std::string joined(const std::vector<std::string>& lines, const char* ending) {
  std::string text;
  for (const std::string& line : lines) text += line + ending;
  return text;
}

// Reads the marked examples; a mark that is not followed by what it needs
// is reported as a failure at its line.
std::vector<Example> examplesOf(const std::string& markdown) {
  const std::vector<Fence> fences = fencesOf(markdown);
  std::vector<Example> examples;
  std::string pendingIni;
  for (std::size_t i = 0; i < fences.size(); ++i) {
    const Fence& fence = fences[i];
    if (fence.info == "ini qv-ini") {
      pendingIni = joined(fence.lines, "\r\n");
      continue;
    }
    if (fence.info != "bat qv-example") continue;
    SCOPED_TRACE("guide line " + std::to_string(fence.line));
    Example example;
    example.line = fence.line;
    std::swap(example.ini, pendingIni);
    if (fence.lines.size() != 1) {
      ADD_FAILURE() << "an example is one command line";
      continue;
    }
    const std::string& command = fence.lines[0];
    example.command = command;
    // The program as typed (".\\list.exe") is the command line's first
    // token, from which the program finds its INI file.
    const std::string typed = command.substr(0, command.find(' '));
    example.program = typed.substr(typed.rfind('\\') + 1);
    if (i + 1 >= fences.size()) {
      ADD_FAILURE() << "an example without its result";
      continue;
    }
    const Fence& result = fences[++i];
    std::string expected;
    if (result.info == "text qv-clipboard") {
      expected = joined(result.lines, "\r\n");
    } else if (result.info.compare(0, 21, "text qv-message exit=") == 0) {
      example.expectsMessage = true;
      example.exitCode = std::stoi(result.info.substr(21));
      expected = joined(result.lines, "\n");
      if (!expected.empty()) expected.pop_back();  // a box's text ends without a line feed
    } else {
      ADD_FAILURE() << "an example is followed by a qv-clipboard or qv-message block";
      continue;
    }
    std::string ini = example.ini;
    if (!utf8ToCp932(command, example.commandLine) || !utf8ToCp932(expected, example.expected) ||
        !utf8ToCp932(ini, example.ini)) {
      ADD_FAILURE() << "a character without a code page 932 byte";
      continue;
    }
    examples.push_back(example);
  }
  return examples;
}

// The sample folder of the guide, with its sizes and last-write times
// (local time). The contents are lines of text cut to the size, so that the
// MD5 example has something definite to show. (String literals are compiled
// to code page 932.)
struct SampleFile {
  const char* path;  // relative to the working folder
  std::size_t size;
  int time[6];
  char letter;
};
const SampleFile SAMPLE_FILES[] = {
    {"資料\\Readme.TXT", 512, {2026, 4, 1, 9, 15, 0}, 'r'},
    {"資料\\表.csv", 2048, {2026, 4, 2, 13, 5, 45}, 'c'},
    {"資料\\写真\\Photo 01.JPG", 1572864, {2026, 3, 28, 18, 42, 10}, 'p'},
};

std::string sampleContents(const SampleFile& file) {
  std::string line = "Quorvane sample ";
  line += file.letter;
  line += "\r\n";
  std::string bytes;
  while (bytes.size() < file.size) bytes += line;
  bytes.resize(file.size);
  return bytes;
}

void writeSampleFolder(const e2e::Sandbox& box) {
  for (const SampleFile& file : SAMPLE_FILES) {
    const FILETIME written = e2e::localFileTime(file.time[0], file.time[1], file.time[2],
                                                file.time[3], file.time[4], file.time[5]);
    ASSERT_TRUE(box.writeFile(file.path, sampleContents(file), &written));
  }
}

e2e::LaunchOptions inFolder(const e2e::Sandbox& box) {
  e2e::LaunchOptions options;
  options.workingDirectory = box.folder();
  return options;
}

TEST(Guide, ExamplesShowWhatTheProgramCopies) {
  const std::string guide = readFileBytes(windowsPathOf(QV_GUIDE_PATH));
  ASSERT_FALSE(guide.empty()) << QV_GUIDE_PATH;
  const std::vector<Example> examples = examplesOf(guide);
  // Every output form of the guide is an example; fewer means the marks broke.
  EXPECT_GE(examples.size(), 12u);

  for (const Example& example : examples) {
    SCOPED_TRACE("guide line " + std::to_string(example.line) + ": " + example.command);
    e2e::Sandbox box(example.program);
    ASSERT_TRUE(box.ok());
    writeSampleFolder(box);
    if (!example.ini.empty()) {
      ASSERT_TRUE(box.writeIni(example.ini));
    }

    const e2e::Outcome out = box.runExact(example.commandLine, inFolder(box));
    ASSERT_TRUE(out.finished()) << out.summary();
    EXPECT_EQ(out.exitCode, example.exitCode) << out.summary();
    if (example.expectsMessage) {
      ASSERT_EQ(out.messages.size(), 1u) << out.summary();
      EXPECT_EQ(out.messages[0].text, example.expected) << out.summary();
      EXPECT_TRUE(out.sentinelKept) << out.summary();
    } else {
      EXPECT_TRUE(out.messages.empty()) << out.summary();
      EXPECT_EQ(out.clipboard, example.expected) << out.summary();
    }
  }
}

// The zip's quorvane.ini spells out every built-in value: beside the
// program it must change nothing, in any output form its keys touch.
TEST(ReleaseFiles, SampleIniKeepsTheBuiltInOutput) {
  const std::string ini = readFileBytes(windowsPathOf(QV_SAMPLE_INI_PATH));
  ASSERT_FALSE(ini.empty()) << QV_SAMPLE_INI_PATH;
  for (const char* arguments : {"資料", "/D /T /M 資料", "/O /L /W 資料"}) {
    SCOPED_TRACE(arguments);
    e2e::Sandbox bare;
    e2e::Sandbox shipped;
    ASSERT_TRUE(bare.ok() && shipped.ok());
    writeSampleFolder(bare);
    writeSampleFolder(shipped);
    ASSERT_TRUE(shipped.writeIni(ini));

    const e2e::Outcome builtIn = bare.run(arguments, inFolder(bare));
    const e2e::Outcome withIni = shipped.run(arguments, inFolder(shipped));
    ASSERT_TRUE(builtIn.finished() && withIni.finished()) << withIni.summary();
    EXPECT_EQ(builtIn.exitCode, 0) << builtIn.summary();
    EXPECT_EQ(withIni.exitCode, 0) << withIni.summary();
    EXPECT_TRUE(withIni.messages.empty()) << withIni.summary();
    EXPECT_FALSE(builtIn.clipboard.empty());
    EXPECT_EQ(withIni.clipboard, builtIn.clipboard);
  }
}

}  // namespace
