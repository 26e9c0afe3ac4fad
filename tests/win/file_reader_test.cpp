#include "digest/file_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/cancel.h"
#include "test_support.h"

namespace {

constexpr std::uint32_t CHUNK = 131072;

// The lengths read calls return until the first 0, checking every byte.
std::vector<std::uint32_t> readAll(FileReader& reader) {
  std::vector<std::uint32_t> lengths;
  std::vector<unsigned char> chunk(CHUNK);
  std::uint64_t offset = 0;
  for (;;) {
    const std::uint32_t length = reader.read(chunk.data());
    lengths.push_back(length);
    if (length == 0) return lengths;
    for (std::uint32_t i = 0; i < length; ++i) {
      if (chunk[i] != patternByte(offset + i)) {
        ADD_FAILURE() << "wrong byte at offset " << offset + i;
        return lengths;
      }
    }
    offset += length;
  }
}

}  // namespace

TEST(FileReader, DeliversTheFileInChunksThenZero) {
  TempTree folder;
  const struct {
    std::uint64_t size;
    std::vector<std::uint32_t> lengths;
  } cases[] = {
      {0, {0}},
      {1, {1, 0}},
      {CHUNK, {CHUNK, 0}},
      {CHUNK + 1, {CHUNK, 1, 0}},
      {3 * CHUNK + 5, {CHUNK, CHUNK, CHUNK, 5, 0}},
  };
  MessageBoxCatcher catcher;
  for (const auto& c : cases) {
    const std::string path = folder.patternFile("f" + std::to_string(c.size) + ".bin", c.size);
    FileReader reader;
    reader.open(path.c_str(), CHUNK, "Quorvane");
    EXPECT_EQ(readAll(reader), c.lengths) << "size " << c.size;

    // Past the end every read returns 0 at once.
    std::vector<unsigned char> buffer(CHUNK);
    unsigned char* chunk = buffer.data();
    EXPECT_EQ(reader.read(chunk), 0u);
    EXPECT_EQ(reader.read(chunk), 0u);
    EXPECT_FALSE(reader.failed());
    reader.close();
    reader.close();
  }
  EXPECT_TRUE(catcher.boxes().empty());
}

TEST(FileReader, MissingFileShowsOneUnownedErrorBoxAndFails) {
  TempTree folder;
  const std::string path = folder.path("missing.bin");
  cancelFlag.store(false);
  MessageBoxCatcher catcher;
  FileReader reader;
  reader.open(path.c_str(), CHUNK, "Quorvane");
  EXPECT_TRUE(reader.failed());
  std::vector<unsigned char> buffer(CHUNK);
  unsigned char* chunk = buffer.data();
  EXPECT_EQ(reader.read(chunk), 0u);
  EXPECT_EQ(reader.read(chunk), 0u);
  reader.close();

  const std::vector<SeenBox> boxes = catcher.boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "ファイル \"" + path + "\" のオープンに失敗しました。");
  EXPECT_FALSE(boxes[0].owned);
  EXPECT_TRUE(boxes[0].errorIcon);
  EXPECT_FALSE(cancelFlag.load());
}

TEST(FileReader, ReadFailingPartWayEndsTheStreamAsAFailure) {
  // A pipe stands in for a file whose reads fail after a while (a drive that
  // goes away): the writer delivers a first part, then closes its end, and
  // the reader's next ReadFile fails with a broken pipe.
  PipeWriter writer;
  ASSERT_TRUE(writer.ready());

  cancelFlag.store(false);
  MessageBoxCatcher catcher;
  FileReader reader;
  reader.open(writer.path().c_str(), CHUNK, "Quorvane");
  ASSERT_FALSE(reader.failed());
  ASSERT_TRUE(writer.write(1000));
  std::vector<unsigned char> buffer(CHUNK);
  EXPECT_EQ(reader.read(buffer.data()), 1000u);
  EXPECT_EQ(buffer[999], patternByte(999));
  EXPECT_FALSE(reader.failed());

  writer.close();
  EXPECT_EQ(reader.read(buffer.data()), 0u);
  EXPECT_TRUE(reader.failed());
  EXPECT_EQ(reader.read(buffer.data()), 0u);  // no second box
  reader.close();
  EXPECT_TRUE(reader.failed());

  const std::vector<SeenBox> boxes = catcher.boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "ファイル \"" + writer.path() + "\" の読み込みに失敗しました。");
  EXPECT_FALSE(boxes[0].owned);
  EXPECT_TRUE(boxes[0].errorIcon);
  EXPECT_FALSE(cancelFlag.load());
}

TEST(FileReader, ReleasedMidFileWithoutHangingOrLeavingItsThread) {
  TempTree folder;
  const std::string path = folder.patternFile("long.bin", 8 * CHUNK);
  const int beforeWarmUp = threadsOfThisProcess();
  {
    // One full cycle first, so that whatever the system starts on first use
    // is already in the baseline.
    FileReader warmUp;
    warmUp.open(path.c_str(), CHUNK, "Quorvane");
    std::vector<unsigned char> buffer(CHUNK);
    unsigned char* chunk = buffer.data();
    warmUp.read(chunk);
  }
  // The warm-up's reader thread ends on its own after close, so the count
  // is taken once it has gone: back where it was, or, if first use started
  // a thread that stays, wherever it has settled after the wait.
  const int baseline = threadsSettledAt(beforeWarmUp);

  // The consumer leaves after one chunk (a cancelled run), and before any:
  // the reader thread is then waiting for a request that never comes.
  for (int chunksTaken : {1, 0, 1}) {
    const ULONGLONG start = GetTickCount64();
    {
      FileReader reader;
      reader.open(path.c_str(), CHUNK, "Quorvane");
      std::vector<unsigned char> chunk(CHUNK);
      for (int i = 0; i < chunksTaken; ++i) EXPECT_EQ(reader.read(chunk.data()), CHUNK);
      Sleep(50);  // let the thread finish the next chunk and wait
    }
    EXPECT_LT(GetTickCount64() - start, 400u) << chunksTaken << " chunks taken";
    EXPECT_EQ(threadsSettledAt(baseline), baseline) << chunksTaken << " chunks taken";
  }

  // The file is closed with it: it can be deleted and written again.
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(FileReader, OneReaderTakesFileAfterFileWhateverTheLastOneDid) {
  // A reader serves a whole pass: no chunk, end or failure of one file may
  // reach the next, and each file is let go once the next one starts.
  TempTree folder;
  const std::string missing = folder.path("missing.bin");
  const struct {
    std::string path;
    int chunksTaken;  // before the next file; -1: to the end
    std::vector<std::uint32_t> lengths;
  } files[] = {
      {folder.patternFile("a.bin", CHUNK + 1), -1, {CHUNK, 1, 0}},
      {missing, -1, {0}},
      {folder.patternFile("b.bin", 3 * CHUNK + 5), 1, {CHUNK}},  // left mid-file
      {folder.patternFile("c.bin", 0), -1, {0}},
      {"", -1, {1000, 0}},  // a pipe whose read fails part-way
      {folder.patternFile("d.bin", CHUNK), -1, {CHUNK, 0}},
      {folder.patternFile("e.bin", 1), -1, {1, 0}},
  };
  cancelFlag.store(false);
  PipeWriter pipes[2];
  MessageBoxCatcher catcher;
  const int baseline = threadsSettledAt(threadsOfThisProcess());
  // Reading ahead after every whole chunk, as on a slow disk, and as the
  // cache lets it go here: files read at once.
  for (std::uint32_t readAheadMicroseconds : {0u, READ_AHEAD_AFTER_US}) {
    FileReader reader(readAheadMicroseconds);
    std::vector<unsigned char> chunk(CHUNK);
    PipeWriter& pipe = pipes[readAheadMicroseconds == 0 ? 0 : 1];
    ASSERT_TRUE(pipe.ready());
    for (const auto& file : files) {
      if (file.path.empty()) {
        reader.open(pipe.path().c_str(), CHUNK, "Quorvane");
        ASSERT_TRUE(pipe.write(1000));
        EXPECT_EQ(reader.read(chunk.data()), 1000u);
        pipe.close();
        EXPECT_EQ(reader.read(chunk.data()), 0u);
        EXPECT_TRUE(reader.failed());
        continue;
      }
      reader.open(file.path.c_str(), CHUNK, "Quorvane");
      std::vector<std::uint32_t> lengths;
      if (file.chunksTaken < 0) {
        lengths = readAll(reader);
      } else {
        for (int i = 0; i < file.chunksTaken; ++i) lengths.push_back(reader.read(chunk.data()));
      }
      EXPECT_EQ(lengths, file.lengths) << file.path << " " << readAheadMicroseconds;
      EXPECT_EQ(reader.failed(), file.path == missing) << file.path << " " << readAheadMicroseconds;
    }
    const std::vector<std::string> texts = catcher.texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "ファイル \"" + missing + "\" のオープンに失敗しました。");
    EXPECT_EQ(texts.back(), "ファイル \"" + pipe.path() + "\" の読み込みに失敗しました。");
  }
  EXPECT_EQ(threadsSettledAt(baseline), baseline);
  EXPECT_EQ(catcher.texts().size(), 4u);
  // Every file was closed: each can be deleted.
  for (const auto& file : files) {
    if (file.path != missing && !file.path.empty()) {
      EXPECT_TRUE(DeleteFileA(file.path.c_str())) << file.path;
    }
  }
}
