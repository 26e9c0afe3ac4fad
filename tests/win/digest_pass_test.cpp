#include "digest/digest_pass.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "app/cancel.h"
#include "app/exit_codes.h"
#include "app/job.h"
#include "digest/file_reader.h"
#include "hash/md5.h"
#include "test_support.h"
#include "ui/status_buffers.h"

// After windows.h, which job.h brings in.
#include <commctrl.h>

namespace {

const char* const EMPTY_MD5 = "d41d8cd98f00b204e9800998ecf8427e";

FileEntry entryFor(const std::string& localPath, const std::string& urlPath = "f.bin") {
  FileEntry entry;
  entry.localPath = localPath;
  entry.urlPath = urlPath;
  entry.digestText = "left over";
  return entry;
}

// The bracketed form's digestText of the bytes.
std::string md5Text(const std::string& bytes) {
  Md5Context context;
  context.md5Update(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  char hex[MD5_HEX_DIGEST_SIZE];
  return std::string(", MD5: ") + context.md5HexDigest(hex);
}

// Digests the entry with the given form and returns its digestText; adds
// the bar's advance to *progress when given.
std::string digestIn(FileEntry entry, bool tab, bool wide, std::int64_t* progress = nullptr) {
  Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
  job.options.OutputTabText = tab;
  job.options.UseWideChar = wide;
  DigestPass(job).digestEntry(entry);
  if (progress != nullptr) *progress = job.progressDone;
  return entry.digestText;
}

// A message-only window on a thread of its own, standing in for the progress
// bar: the first position above 0 it is sent raises the cancel flag, as the
// cancel button would while a file is being read.
class CancellingBar {
 public:
  CancellingBar() {
    std::promise<HWND> created;
    std::future<HWND> window = created.get_future();
    thread_ = std::thread([&created, this] {
      WNDCLASSA windowClass{};
      windowClass.lpfnWndProc = procedure;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = "QvCancellingBar";
      RegisterClassA(&windowClass);
      threadId_ = GetCurrentThreadId();
      created.set_value(CreateWindowExA(0, "QvCancellingBar", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, GetModuleHandleA(nullptr), nullptr));
      MSG message;
      while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    });
    window_ = window.get();
    cancelled_.store(false);
  }
  ~CancellingBar() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }

  HWND window() const { return window_; }
  bool cancelled() const { return cancelled_.load(); }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETPOS && wParam > 0 && !cancelFlag.load()) {
      cancelled_.store(true);
      cancelFlag.store(true);
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  static std::atomic<bool> cancelled_;
  std::thread thread_;
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
};

std::atomic<bool> CancellingBar::cancelled_{false};

}  // namespace

TEST(DigestEntry, DigestsEveryChunkInTheChosenForm) {
  TempTree folder;
  const struct {
    std::uint64_t size;
    const char* md5;  // taken with md5sum from the same bytes
  } cases[] = {
      {0, EMPTY_MD5},
      {1, "93b885adfe0da089cdf634904fd59f71"},
      {DIGEST_CHUNK_SIZE, "31e496e36699fbb25375e8ca37dee290"},
      {DIGEST_CHUNK_SIZE + 1, "20514390d402c12f41274fc7207cab2d"},
      {3 * DIGEST_CHUNK_SIZE + 5, "5b5572d4d300f5d134d824c75b4abdcc"},
  };
  MessageBoxCatcher catcher;
  for (const auto& c : cases) {
    const std::string path = folder.patternFile(std::to_string(c.size) + ".bin", c.size);
    std::int64_t progress = 0;
    EXPECT_EQ(digestIn(entryFor(path), false, false, &progress), std::string(", MD5: ") + c.md5);
    EXPECT_EQ(progress, static_cast<std::int64_t>(c.size) + 1) << "size " << c.size;
    EXPECT_EQ(digestIn(entryFor(path), false, true), std::string("、MD5： ") + c.md5);
    // The tab form wins over the wide characters.
    EXPECT_EQ(digestIn(entryFor(path), true, true), std::string("\t") + c.md5);
  }
  EXPECT_TRUE(catcher.boxes().empty());
}

TEST(DigestEntry, FileThatCannotBeReadGetsNoDigits) {
  TempTree folder;
  const std::string missing = folder.path("gone.bin");
  const std::string busy = folder.patternFile("busy.bin", 5000);
  OwnedHandle writer(CreateFileA(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);

  cancelFlag.store(false);
  MessageBoxCatcher catcher;
  std::int64_t progress = 0;
  EXPECT_EQ(digestIn(entryFor(missing), false, false, &progress), "");
  EXPECT_EQ(progress, 1);
  EXPECT_EQ(digestIn(entryFor(missing), false, true), "");
  EXPECT_EQ(digestIn(entryFor(busy), true, false), "\t");  // the column is kept
  EXPECT_EQ(catcher.boxes().size(), 3u);

  // A read that fails part-way: the bytes before it are not taken for the file.
  PipeWriter pipe;
  ASSERT_TRUE(pipe.ready());
  std::thread feeder([&pipe] {
    pipe.waitForReader();
    pipe.write(3000);
    pipe.waitUntilRead();
    pipe.close();
  });
  EXPECT_EQ(digestIn(entryFor(pipe.path()), true, false), "\t");
  feeder.join();

  const std::vector<SeenBox> boxes = catcher.boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].text, "ファイル \"" + missing + "\" のオープンに失敗しました。");
  EXPECT_EQ(boxes[2].text, "ファイル \"" + busy + "\" のオープンに失敗しました。");
  EXPECT_EQ(boxes[3].text, "ファイル \"" + pipe.path() + "\" の読み込みに失敗しました。");
  EXPECT_FALSE(cancelFlag.load());
}

TEST(DigestEntry, StatusLineShowsThePathDecodedWhenEncoding) {
  TempTree folder;
  const std::string path = folder.patternFile("a.bin", 3);
  // A window handle for the status line, so the text is stored; nothing
  // ever handles what is posted to it.
  HWND sink =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(sink, nullptr);
  auto shownFor = [&](const std::string& urlPath, bool encodeUrl) {
    Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
    job.options.EncodeURL = encodeUrl;
    job.mainWindow = sink;
    job.statusLine2 = sink;
    FileEntry entry = entryFor(path, urlPath);
    DigestPass(job).digestEntry(entry);
    EXPECT_EQ(entry.urlPath, urlPath);
    job.mainWindow = nullptr;  // no close request to the sink
    char shown[STATUS_TEXT2_SIZE];
    takeStatusText(StatusLine::Second, shown, sizeof shown);
    return std::string(shown);
  };

  EXPECT_EQ(shownFor("http://h/d/%83%41+b.txt", true), "http://h/d/ア b.txt");
  // Collected before /E switched encoding on: a "+" of the name shows as a blank.
  EXPECT_EQ(shownFor("http://h/d/x+y.txt", true), "http://h/d/x y.txt");
  EXPECT_EQ(shownFor("http://h/d/%83%41+b.txt", false), "http://h/d/%83%41+b.txt");
  // The UTF-8 form, whatever form was given last, as the code page reads it.
  EXPECT_EQ(shownFor("http://h/d/%E6%97%A5%20caf%C3%A9%2B.txt", true), "http://h/d/日 caf?+.txt");
  DestroyWindow(sink);
}

TEST(DigestEntry, CancelEndsTheFilePromptlyAndReleasesTheReader) {
  TempTree folder;
  const std::string path = folder.patternFile("big.bin", 64 * DIGEST_CHUNK_SIZE);
  const int baseline = threadsSettledAt(threadsOfThisProcess());

  // Raised before the entry: stops at the first poll, before the file.
  cancelFlag.store(true);
  {
    MessageBoxCatcher catcher;
    FileEntry gone = entryFor(folder.path("gone.bin"));
    Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
    EXPECT_THROW(DigestPass(job).digestEntry(gone), RunCancelled);
    EXPECT_EQ(gone.digestText, "left over");
    EXPECT_TRUE(catcher.boxes().empty());
  }

  // Raised while the file is read.
  cancelFlag.store(false);
  {
    CancellingBar bar;
    Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
    job.progressBar = bar.window();
    job.startProgress(64 * DIGEST_CHUNK_SIZE);
    FileEntry entry = entryFor(path);
    EXPECT_THROW(DigestPass(job).digestEntry(entry), RunCancelled);
    job.progressBar = nullptr;

    ASSERT_TRUE(bar.cancelled());
    // Stopped within the file: the chunk the cancel came during ends it.
    EXPECT_GT(job.progressDone, 1);
    EXPECT_LT(job.progressDone, std::int64_t{64} * DIGEST_CHUNK_SIZE);
    EXPECT_EQ(entry.digestText, "left over");
  }
  cancelFlag.store(false);
  EXPECT_EQ(threadsSettledAt(baseline), baseline);
  EXPECT_TRUE(DeleteFileA(path.c_str()));  // the reader's handle is closed
}

// A cancel while several files are being read: every worker stops within
// a chunk (no file is finished), the run ends with the usual pause, and no
// thread or file is left. The files are large (sparse), so the pass is
// still going whatever the machine.
TEST(DigestPass, CancelMidPassEndsItPromptlyWithNoThreadLeft) {
  TempTree folder;
  constexpr std::uint64_t FILE_BYTES = std::uint64_t{4} << 30;
  std::vector<FileEntry> files;
  for (int i = 0; i < 8; ++i) files.push_back(entryFor(folder.sparseFile(std::to_string(i), FILE_BYTES)));
  const int baseline = threadsSettledAt(threadsOfThisProcess());
  for (const unsigned workers : {1u, 2u, 4u}) {
    std::vector<FileEntry> entries = files;
    cancelFlag.store(false);
    forgetPendingBarPosition();  // the last bar never took its position
    {
      CancellingBar bar;
      Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
      job.progressBar = bar.window();
      job.startProgress(static_cast<std::int64_t>(8 * FILE_BYTES));  // the first step: 32 MiB in
      EXPECT_THROW(DigestPass(job, workers).digestAll(entries), RunCancelled);
      ASSERT_TRUE(bar.cancelled());
      job.progressBar = nullptr;
    }
    cancelFlag.store(false);
    EXPECT_EQ(threadsSettledAt(baseline), baseline) << workers;
    for (const FileEntry& entry : entries) EXPECT_EQ(entry.digestText, "left over") << workers;
  }
  for (const FileEntry& entry : files) EXPECT_TRUE(DeleteFileA(entry.localPath.c_str()));
}

// Files held by a writer, spread through the pass: on any number of workers
// their boxes come one at a time in the walk's order, every other file gets
// the digest one file at a time gives it, and no thread is left.
TEST(DigestPass, BoxesInWalkOrderOnAnyNumberOfWorkers) {
  TempTree folder;
  const std::uint64_t SIZES[] = {0, 1, DIGEST_CHUNK_SIZE, DIGEST_CHUNK_SIZE + 7, 3000};
  std::vector<FileEntry> files;
  std::vector<std::string> boxes;
  std::vector<HANDLE> held;
  std::int64_t progress = 0;  // 1 a file and the bytes of those that can be read
  for (int i = 0; i < 40; ++i) {
    const std::string path = folder.patternFile("f" + std::to_string(i), SIZES[i % 5]);
    files.push_back(entryFor(path));
    const bool locked = i == 0 || i == 13 || i == 27 || i == 39;
    progress += 1 + (locked ? 0 : static_cast<std::int64_t>(SIZES[i % 5]));
    if (locked) {
      held.push_back(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      boxes.push_back("ファイル \"" + path + "\" のオープンに失敗しました。");
    }
  }
  const int baseline = threadsSettledAt(threadsOfThisProcess());
  std::vector<std::string> oneAtATime;
  for (const unsigned workers : {1u, 2u, 4u}) {
    std::vector<FileEntry> entries = files;
    cancelFlag.store(false);
    MessageBoxCatcher catcher;
    Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
    DigestPass(job, workers).digestAll(entries);
    EXPECT_EQ(catcher.texts(), boxes) << workers;
    std::vector<std::string> digests;
    for (const FileEntry& entry : entries) digests.push_back(entry.digestText);
    if (oneAtATime.empty()) oneAtATime = digests;
    EXPECT_EQ(digests, oneAtATime) << workers;
    EXPECT_EQ(job.progressDone, progress) << workers;
  }
  EXPECT_EQ(oneAtATime[0], "");
  EXPECT_EQ(oneAtATime[1].size(), 7u + 32u);  // ", MD5: " and the digits
  EXPECT_EQ(threadsSettledAt(baseline), baseline);
  for (HANDLE handle : held) CloseHandle(handle);
}

// While a box waits for its answer nothing of the run is open or read, so
// the user may replace or rewrite the later files meanwhile, and they are
// digested as left. They start large (sparse), so workers that went on
// reading would still hold them when the box comes up.
TEST(DigestPass, NothingIsOpenWhileABoxWaitsAndLaterFilesAreReadAsLeft) {
  TempTree folder;
  std::vector<FileEntry> files{entryFor(folder.patternFile("f0", 100))};
  for (int i = 1; i <= 4; ++i) files.push_back(entryFor(folder.path("f" + std::to_string(i))));
  const auto left = [](std::size_t i) { return "as left " + std::to_string(i); };
  for (const unsigned workers : {1u, 2u, 4u}) {
    for (int i = 1; i <= 4; ++i) folder.sparseFile("f" + std::to_string(i), 1ull << 30);
    OwnedHandle writer(CreateFileA(files[0].localPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<FileEntry> entries = files;
    std::vector<std::size_t> held;  // files the user could not change while the box was up
    MessageBoxCatcher catcher([&](const SeenBox&) {
      const std::string other = folder.file("new", left(1));  // f1 replaced, the rest rewritten
      if (!MoveFileExA(other.c_str(), files[1].localPath.c_str(), MOVEFILE_REPLACE_EXISTING)) held.push_back(1);
      for (std::size_t i = 2; i < files.size(); ++i) {
        OwnedHandle file(CreateFileA(files[i].localPath.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr));
        DWORD written = 0;
        if (!WriteFile(file.get(), left(i).data(), static_cast<DWORD>(left(i).size()), &written, nullptr)) held.push_back(i);
      }
    });
    Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
    DigestPass(job, workers).digestAll(entries);
    EXPECT_EQ(catcher.boxes().size(), 1u) << workers;
    EXPECT_EQ(held, std::vector<std::size_t>()) << workers;
    for (std::size_t i = 1; i < entries.size(); ++i) EXPECT_EQ(entries[i].digestText, md5Text(left(i))) << workers;
  }
}

// After a box the workers start again; where the system then refuses every
// thread, the pass goes on one file at a time on this thread, with the same
// boxes, digests and bar.
TEST(DigestPass, ARestartThatGetsNoThreadGoesOnOneFileAtATime) {
  TempTree folder;
  std::vector<FileEntry> files;
  std::vector<HANDLE> held;
  for (int i = 0; i < 5; ++i) {
    files.push_back(entryFor(folder.patternFile("f" + std::to_string(i), 1000 + i * DIGEST_CHUNK_SIZE)));
    if (i == 1 || i == 3) held.push_back(CreateFileA(files[i].localPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  std::vector<std::string> oneAtATime;  // boxes, digests and bar of a pass that gets no thread at all
  for (const unsigned workers : {1u, 1u, 2u, 4u}) {
    // The others get their threads at the start, and none after the box.
    unsigned threadsLeft = oneAtATime.empty() ? 0 : workers;
    const ThreadStarter refusing = [&threadsLeft](LPTHREAD_START_ROUTINE routine, void* parameter) {
      return threadsLeft == 0 ? nullptr : (--threadsLeft, startWorkerThread(routine, parameter));
    };
    std::vector<FileEntry> entries = files;
    MessageBoxCatcher catcher;
    Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
    DigestPass(job, workers, refusing).digestAll(entries);
    std::vector<std::string> seen = catcher.texts();
    for (const FileEntry& entry : entries) seen.push_back(entry.digestText);
    seen.push_back(std::to_string(job.progressDone));
    if (oneAtATime.empty()) oneAtATime = seen;
    EXPECT_EQ(seen, oneAtATime) << workers;
    EXPECT_EQ(threadsLeft, 0u) << workers;
  }
  EXPECT_EQ(oneAtATime.size(), 2u + 5u + 1u);
  for (HANDLE handle : held) CloseHandle(handle);
}

// A cancel while a worker's read hangs (a network drive gone away; here a
// pipe nobody writes): the run ends as a cancel does, with its exit code,
// and the stuck thread ends with the process. Each case is a child process.
TEST(DigestPassDeathTest, CancelWhileAReadHangsEndsTheProcessAsACancel) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const unsigned workers : {1u, 2u, 4u}) {
    PipeWriter pipe;
    std::vector<FileEntry> entries{entryFor(pipe.path()), entryFor(pipe.path() + ".gone")};
    EXPECT_EXIT(
        {
          std::thread([&pipe] { pipe.waitForReader(); cancelFlag.store(true); }).detach();
          Job job(GetModuleHandleA(nullptr), "\"q.exe\"");
          DigestPass(job, workers).digestAll(entries);
        },
        ::testing::ExitedWithCode(EXIT_CANCELLED), "")
        << workers;
  }
}
