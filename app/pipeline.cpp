#include <algorithm>
#include <optional>

#include "app/job.h"
#include "collect/ordering.h"
#include "digest/digest_pass.h"
#include "settings/vocabulary.h"
#include "text/entry_stages.h"
#include "text/line_assembly.h"

// The passes depend on each other: digests are taken in collection order,
// the sort sees the paths as collected (lower-casing comes after it), and
// every entry is prepared before the first line is built, because the lines
// are aligned to the widest path and size of the whole run. The entries are
// used up by the line pass: afterwards the Job holds none.
std::string Job::buildText(StandIns& standIns) {
  if (options.ShowMD5) {
    setStatus(digestStageText(options.DigestAlgorithm), "");
    startProgress(static_cast<std::int64_t>(options.TotalSize));
    DigestPass(*this).digestAll(entries);
  }

  setStatus("ファイル名の並べ替え中", "");
  sortEntries(entries);

  setStatus("ファイル情報の整理中", "");
  startProgress(static_cast<std::int64_t>(entries.size()));
  std::optional<SizeScale> scale;
  for (FileEntry& entry : entries) prepareEntry(entry, *this, scale);

  std::string output = options.OutputTabText ? tabHeaderLine(options) : std::string();

  setStatus("URL 文字列の作成中", "");
  startProgress(static_cast<std::int64_t>(entries.size()));
  std::size_t lineCapacity = 0;
  for (FileEntry& entry : entries) {
    appendEntryLine(entry, *this, lineCapacity, output, standIns);
    // The line is all the run needs of the entry from here on. Giving its
    // texts back while the output grows, and the entries themselves before
    // the output is copied, keeps the peak of a huge run near the larger of
    // the two instead of their sum.
    releaseEntryTexts(entry);
  }
  std::vector<FileEntry>().swap(entries);
  return output;
}
