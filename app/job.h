// The object of one run: the progress window part, the settings, the
// command line and the collected files. Every stage is an operation of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "collect/argument_list.h"
#include "collect/volumes.h"
#include "collect/walk_filter.h"
#include "collect/file_entry.h"
#include "settings/output_options.h"
#include "text/stand_in.h"
#include "ui/progress_window.h"

class Job : public ProgressWindow {
 public:
  explicit Job(HINSTANCE appInstance);                  // tokenizes GetCommandLineW()
  Job(HINSTANCE appInstance, const char* commandLine);  // an ANSI command line

  std::int32_t run();         // main thread; the process exit code
  std::int32_t workerMain();  // worker thread; the stages in their fixed order
  // Worker thread: workerMain, with the two ways a run ends early turned
  // into exit codes: a cancel, and memory running out anywhere in the run
  // (reported in one message box, the clipboard left as it was), as does
  // any other exception.
  std::int32_t runWorker();

  // The cancel poll of the per-entry operations: returns at once when the
  // flag is clear; otherwise pauses 1000 ms, closes the window and throws
  // RunCancelled, which ends the worker with EXIT_CANCELLED.
  void checkCancel();

  // Stages, worker thread.
  bool loadIniSettings();        // settings/ini_file.cpp
  bool applyCommandLine();       // collect/arguments.cpp
  // A path in both forms: the ANSI text every status and line shows, and
  // the exact text that reaches the file system. Given the ANSI form alone,
  // the exact form is the code page's reading of it.
  std::uint32_t collectPath(const std::string& path, const std::wstring& exactPath,
                            const std::string& urlPrefix, bool topLevel);  // collect/path_walk.cpp
  std::uint32_t collectPath(const std::string& path, const std::string& urlPrefix, bool topLevel);
  void buildOutputVocabulary();  // settings/vocabulary.cpp
  // The output, and the "?"s in it that stand for characters the code page
  // lacks (none when it spells every name).
  std::string buildText(StandIns& standIns);  // app/pipeline.cpp

  OutputOptions options;
  HINSTANCE appInstance;
  ArgumentList arguments;
  WalkFilter walkFilter;  // what collectPath leaves out; set by applyCommandLine
  Volumes* volumes = &systemVolumes();  // what the walk asks of folders; a test may play others
  VolumeFindings volumeFindings;        // what the walks learnt of the volumes they reached
  std::vector<FileEntry> entries;
};
