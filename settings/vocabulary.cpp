#include "settings/vocabulary.h"

namespace {

const char* unitNameFor(std::int32_t byteUnit) {
  switch (byteUnit) {
    case 1: return "KB";
    case 2: return "MB";
    case 3: return "GB";
    case 4: return "TB";
    case 5: return "PB";
    default: return "bytes";
  }
}

}  // namespace

void buildOutputVocabulary(OutputOptions& options) {
  // Only the last byte counts: a head ending in "\" or a blank gets "/" too.
  if (!options.URLHead.empty() && options.URLHead.back() != '/') options.URLHead += '/';

  // Tab-separated lines carry whole bytes and none of the bracket texts.
  if (options.OutputTabText) {
    options.ByteUnit = 0;
    return;
  }

  if (options.ByteUnitName.empty()) options.ByteUnitName = unitNameFor(options.ByteUnit);
  // A user's unit word gets the blank too, even when it starts with one.
  options.ByteUnitName.insert(0, 1, ' ');

  options.OpenText += options.InsertNewLine ? "\r\n" : " ";
  options.OpenText += options.UseWideChar ? "（" : "(";
  options.CloseText += options.UseWideChar ? "）" : ")";
  options.CloseText += options.InsertNewLine ? "\r\n\r\n" : "\r\n";
}

const char* digestStageText(HashAlgorithm algorithm) {
  return algorithm == HashAlgorithm::Sha256 ? "ファイルの SHA-256 値の取得中"
                                            : "ファイルの MD5 値の取得中";
}

std::string digestSeparator(const OutputOptions& options) {
  if (options.OutputTabText) return "\t";
  std::string separator = options.UseWideChar ? "、" : ", ";
  separator += digestName(options.DigestAlgorithm);
  separator += options.UseWideChar ? "： " : ": ";
  return separator;
}
