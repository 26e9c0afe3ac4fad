// Runs quorvane.exe the way a shell does and writes down what it left, for
// the run script: show_run <program> <command-line file> <output folder>
// (the command line's first token names the program that is started).
// The command-line file holds the exact command line in UTF-16 (little
// endian, no byte-order mark), which the program gets as Explorer's Send To
// gives it. The output folder receives clipboard.txt, messages.txt and
// exit_code.txt.
#include <fstream>
#include <iterator>
#include <string>

#include "tests/e2e/driver.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string folder = argv[3];

  const std::string line = readFile(argv[2]);
  std::wstring commandLine(line.size() / 2, L'\0');
  for (std::size_t i = 0; i < commandLine.size(); ++i) {
    commandLine[i] = static_cast<wchar_t>(static_cast<unsigned char>(line[2 * i]) |
                                          static_cast<unsigned char>(line[2 * i + 1]) << 8);
  }
  e2e::LaunchOptions options;
  options.timeoutMs = 600000;
  const e2e::Outcome outcome = e2e::launchWide(commandLine, options);
  if (!outcome.started) return 3;

  writeFile(folder + "\\clipboard.txt", outcome.sentinelKept ? std::string() : outcome.clipboard);
  std::string messages;
  for (const e2e::MessageBoxSeen& box : outcome.messages) {
    messages += std::string("[") + e2e::iconName(box.icon) + "] " + box.text + "\n\n";
  }
  writeFile(folder + "\\messages.txt", messages);
  writeFile(folder + "\\exit_code.txt",
            outcome.timedOut ? std::string("timed out") : std::to_string(outcome.exitCode));
  return 0;
}
