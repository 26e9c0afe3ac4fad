// End-to-end driver: runs the built quorvane.exe the way a user's shell does
// and records everything a user could see of the run: its exit code, the
// clipboard it leaves, its message boxes and its progress window.
//
// A test in a few lines:
//
//   e2e::Sandbox box("list.new.exe");          // temp folder + program copy
//   ASSERT_TRUE(box.writeFile("a.txt", "hello"));
//   ASSERT_TRUE(box.writeIni("[Options]\r\nShowDate=1\r\n"));
//   e2e::Outcome out = box.run(e2e::quoted(box.path("a.txt")));
//   ASSERT_TRUE(out.finished()) << out.summary();
//   EXPECT_EQ(out.exitCode, 0);
//   EXPECT_EQ(out.clipboard, "http://...");      // CF_TEXT bytes, Shift_JIS
//
// Everything here is bytes in the ANSI code page (932 under the test
// environment): paths, command lines, window and message texts, clipboard.
// Times are milliseconds since the launch (CreateProcessA returned).
// With QV_E2E_VERBOSE set in the environment every launch prints its
// Outcome::summary().
//
// The progress window is watched from inside: a hook library, set on the
// program's main thread before it starts, records the window after every
// message that thread handles (tests/e2e/hook/journal.h), so the timeline
// holds every state the window passed through, even for a window that lived
// a few milliseconds. Message boxes wait for their answer, so the driver
// finds them by looking every few milliseconds. It never sends a message
// that could block on the program. It keeps its own clipboard agent (a
// hidden window on a thread of its own) so that the sentinel and a held
// clipboard behave like another program's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

// The built program, as a Windows path.
std::string programUnderTest();

// "\"" + text + "\"": the usual quoting of a path with blanks.
std::string quoted(const std::string& text);

// A UTC file time for a local calendar time, converted with the current
// time-zone bias (the inverse of what the program does with
// FileTimeToLocalFileTime), so the program shows exactly these numbers.
FILETIME localFileTime(int year, int month, int day, int hour, int minute, int second);
// The same calendar time taken as UTC, as the file system stores it.
FILETIME utcFileTime(int year, int month, int day, int hour, int minute, int second);

// ---------------------------------------------------------------------------
// Options of one launch.

constexpr std::int64_t NEVER = -1;
constexpr std::int64_t WHOLE_RUN = -2;

class RunControl;

struct LaunchOptions {
  // The module CreateProcessA starts; the command line's token 0 may name
  // anything. Sandbox::run fills it in.
  std::string application;
  // Working directory of the program; empty: the driver's own.
  std::string workingDirectory;
  // Put on the clipboard (CF_TEXT) just before the launch. Empty: a text
  // unique to this launch is made up (see Outcome::sentinel).
  std::string sentinel;
  // Keep the clipboard open (with a window of the driver's own) from just
  // before the launch: for this many milliseconds, for the WHOLE_RUN (until
  // the process ended or RunControl::releaseClipboard), or NEVER.
  std::int64_t holdClipboardMs = NEVER;
  // Ends a hold this long after the window first became visible; with
  // WHOLE_RUN above, this keeps a run in its clipboard stage until the window
  // has been up for a while, however slowly the program started.
  std::int64_t releaseClipboardAfterShownMs = NEVER;
  // Press the cancel button (a posted BN_CLICKED of control 112, as a click
  // sends) this long after the window first became visible (0: at once), or
  // this long after the launch, whether visible or not.
  std::int64_t cancelAfterShownMs = NEVER;
  std::int64_t cancelAfterLaunchMs = NEVER;
  // Or press it once this returns true for a new state of the window: a
  // test that needs the run to have got somewhere first waits for that,
  // not for a time a busy machine may not reach it in.
  std::function<bool(const struct WindowState&)> cancelWhen;
  // Called on the driver's thread right after the window was first seen
  // visible and its state recorded. Polling stops while it runs.
  std::function<void(RunControl&)> whenShown;
  // Called on the driver's thread for each message box, before its OK is
  // pressed: the program waits in the box meanwhile.
  std::function<void(const struct MessageBoxSeen&)> beforeAnswer;
  // Called for each new state of the window; once it returns true the
  // driver ends the run as at a time-out (Outcome::endedByTest), so a run
  // made to last far longer than any machine needs stops once it has shown
  // what the test looks for.
  std::function<bool(const struct WindowState&)> endWhen;
  // Beyond this the driver ends its child with TerminateProcess.
  std::int64_t timeoutMs = 60000;
};

// ---------------------------------------------------------------------------
// What the driver saw.

enum class Icon { None, Error, Warning, Information, Unknown };
const char* iconName(Icon icon);

// One message box of the program: a top-level "#32770" window of the child
// process with the caption "Quorvane". The driver presses its OK button.
struct MessageBoxSeen {
  std::string text;             // static control 0xFFFF
  Icon icon = Icon::Unknown;    // compared on screen with the system's icons
  bool ownedByWindow = false;   // its owner is the program's progress window
  HWND owner = nullptr;
  std::int64_t shownMs = 0;     // first seen visible
  std::int64_t answeredMs = 0;  // OK pressed
};

// One look at the progress window (class "Quorvane" of the child process).
struct WindowState {
  std::int64_t atMs = 0;
  bool exists = false;
  bool visible = false;
  std::string title;
  std::string line1;           // control 110
  std::string line2;           // control 111
  int bar = -1;                // PBM_GETPOS; -1 before the bar exists
  bool cancelEnabled = false;  // control 112

  bool sameAs(const WindowState& other) const;  // everything but the time
};

struct WindowSeen {
  bool found = false;             // the (maybe hidden) window was made at all
  std::int64_t foundMs = 0;       // its creation
  HWND handle = nullptr;
  std::uintptr_t classStyle = 0;  // GCL_STYLE
  bool shown = false;             // ever visible
  std::int64_t shownMs = 0;       // first visible
  RECT rect{};                    // window rectangle when first visible
  POINT clientOrigin{};           // ClientToScreen(0, 0) when first visible
  RECT controls[4]{};             // line 1, line 2, bar, button in the client area, then
  int fontHeight = 0;             // and the status lines' font's LOGFONT height
  WindowState whenShown;          // the state read when first visible
  std::int64_t cancelPressedMs = NEVER;
  // Its state at creation and after every change, in order. One last entry
  // with exists == false closes it: its destruction, or the process's end.
  std::vector<WindowState> timeline;

  // The first state whose status line 1 is the text, or null.
  const WindowState* firstWithLine1(const std::string& text) const;
  // The last state of the window while it existed.
  const WindowState& last() const;
};

struct Outcome {
  bool started = false;               // CreateProcessA succeeded
  std::string failure;                // why not, when not
  bool timedOut = false;              // the driver had to end the child
  bool endedByTest = false;           // LaunchOptions::endWhen ended it
  std::int32_t exitCode = 0;          // GetExitCodeProcess, as signed
  std::int64_t endedMs = 0;           // process end as seen by the driver
  std::string sentinel;               // what the driver put on the clipboard
  bool clipboardHasText = false;      // CF_TEXT present after the run
  std::string clipboard;              // its bytes, up to the first NUL
  std::vector<UINT> clipboardFormats;  // in the order the clipboard lists them
  std::wstring clipboardUnicode;      // what a program that asks for CF_UNICODETEXT gets
  LCID clipboardLocale = 0;           // CF_LOCALE
  bool sentinelKept = false;          // the clipboard still holds the sentinel
  std::int64_t clipboardReleasedMs = NEVER;  // a held clipboard was closed
  std::vector<MessageBoxSeen> messages;
  WindowSeen window;
  bool journalOverflowed = false;     // the window changed more often than recorded

  bool finished() const { return started && !timedOut && !endedByTest; }
  // Everything above in readable form (texts converted to UTF-8), for
  // failure messages.
  std::string summary() const;
};

// Handed to LaunchOptions::whenShown.
class RunControl {
 public:
  virtual ~RunControl() = default;
  virtual HWND window() const = 0;           // the progress window
  virtual std::int64_t elapsedMs() const = 0;
  virtual void pressCancel() = 0;
  virtual void releaseClipboard() = 0;        // ends a hold now
};

// Moves the mouse onto the close box of a window of another thread or
// process and clicks it with SendInput, as a user would. Returns false if the
// point is not the close box (WM_NCHITTEST) or the input was not accepted.
bool clickCloseBox(HWND window);

// Launches with CreateProcessA (options.application as the module, the exact
// command line) and watches until the process ends or times out.
Outcome launch(const std::string& commandLine, const LaunchOptions& options);
// The same with CreateProcessW and a UTF-16 command line, as Explorer's Send
// To passes paths; the module is the line's first token.
Outcome launchWide(const std::wstring& commandLine, const LaunchOptions& options);

// The ANSI text in UTF-16, by the code page's table.
std::wstring widened(const std::string& ansi);

// The display scaling of the session's monitor, as a program that declares
// itself aware of scalings sees it; makes the calling process such a
// program, so its own look at the screen (the work area) is in pixels too.
// A session takes its scaling as it starts: see scripts/wine-run.sh.
UINT sessionDpi();

// ---------------------------------------------------------------------------
// A fresh folder under the temp folder with a copy of the program under the
// chosen file name; removed with everything in it on destruction. Relative
// names use "\" and may hold Shift_JIS bytes; missing folders are made.
class Sandbox {
 public:
  explicit Sandbox(const std::string& programName = "quorvane.exe");
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  bool ok() const { return ok_; }        // folder made and program copied
  const std::string& folder() const { return folder_; }  // no trailing "\"
  std::string path(const std::string& relative) const;   // folder + "\" + relative
  const std::string& programPath() const { return programPath_; }
  // Beside the program: its name cut at the first "." plus ".ini".
  std::string iniPath() const;

  bool writeIni(const std::string& bytes) const;
  bool writeFile(const std::string& relative, const std::string& bytes,
                 const FILETIME* lastWrite = nullptr) const;
  // A file of the given size (sparse, quick even for gigabytes).
  bool writeFileOfSize(const std::string& relative, std::uint64_t size,
                       const FILETIME* lastWrite = nullptr) const;
  bool makeFolder(const std::string& relative) const;

  // The usual command line: the quoted program path, a blank, the arguments.
  std::string commandLine(const std::string& arguments) const;
  // Runs with commandLine(arguments).
  Outcome run(const std::string& arguments, LaunchOptions options = {}) const;
  // Runs this copy of the program with an exact command line.
  Outcome runExact(const std::string& commandLine, LaunchOptions options = {}) const;


 private:
  bool ok_ = false;
  std::string folder_;
  std::string programName_;
  std::string programPath_;
};

}  // namespace e2e
