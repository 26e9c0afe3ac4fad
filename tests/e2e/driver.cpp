#include "tests/e2e/driver.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "tests/e2e/hook/journal.h"

namespace e2e {
namespace {

constexpr DWORD POLL_MS = 10;
constexpr int ID_CANCEL_BUTTON = 112;
constexpr int ID_BOX_TEXT = 0xFFFF;
constexpr int ID_BOX_ICON = 0x440;
constexpr const char* BOX_CLASS = "#32770";
constexpr const char* BOX_CAPTION = "Quorvane";
constexpr DWORD ICON_SETTLE_LIMIT_MS = 2000;
constexpr int CLIPBOARD_TRIES = 3000;  // 10 ms apart

// Closes a kernel handle; both null and INVALID_HANDLE_VALUE mean "none".
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void reset(HANDLE handle = nullptr) {
    if (valid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A 32-bit top-down bitmap in a memory DC, with its pixels readable.
class PixelCanvas {
 public:
  PixelCanvas(HDC compatible, int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(compatible);
    bitmap_ = CreateDIBSection(compatible, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (dc_ != nullptr && bitmap_ != nullptr) previous_ = SelectObject(dc_, bitmap_);
  }
  ~PixelCanvas() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  PixelCanvas(const PixelCanvas&) = delete;
  PixelCanvas& operator=(const PixelCanvas&) = delete;

  bool ok() const { return previous_ != nullptr && bits_ != nullptr; }
  HDC dc() const { return dc_; }
  std::vector<DWORD> pixels() const {
    GdiFlush();
    const DWORD* first = static_cast<const DWORD*>(bits_);
    std::vector<DWORD> result(first, first + static_cast<std::size_t>(width_) * height_);
    for (DWORD& pixel : result) pixel &= 0x00FFFFFF;
    return result;
  }
  void fill(DWORD colour) {
    DWORD* first = static_cast<DWORD*>(bits_);
    std::fill(first, first + static_cast<std::size_t>(width_) * height_, colour);
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  void* bits_ = nullptr;
};

std::uint64_t now() { return GetTickCount64(); }

// A path of the build machine as the programs under Wine see it.
std::string windowsPath(const char* unixPath) {
  std::string path = std::string("Z:") + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool isLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
bool isTrailByte(unsigned char byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

// Byte positions of the "\" separators of a path; a 0x5C trail byte of a
// double-byte character is none.
std::vector<std::size_t> separatorPositions(const std::string& path) {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (isLeadByte(byte) && i + 1 < path.size() &&
        isTrailByte(static_cast<unsigned char>(path[i + 1]))) {
      ++i;
    } else if (byte == '\\') {
      positions.push_back(i);
    }
  }
  return positions;
}

// GetWindowTextA on another process's window returns its stored text
// without sending it a message, so it never waits for the program. Room
// for a report on every INI key, which passes a kilobyte.
std::string windowText(HWND window) {
  if (window == nullptr) return std::string();
  char text[4096];
  const int length = GetWindowTextA(window, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

DWORD processOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

void removeTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  {
    FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (search.valid()) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string full = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          removeTree(full);
        } else {
          SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
          // The image of a program that was just ended may stay busy briefly.
          for (int tries = 0; tries < 50 && !DeleteFileA(full.c_str()); ++tries) Sleep(20);
        }
      } while (FindNextFileA(search.get(), &found));
    }
  }
  RemoveDirectoryA(folder.c_str());
}

// Compares what the icon static shows on screen with the system icons drawn
// the same way. The program's icon handles are its own (LoadIcon gives each
// process different handles), so comparing STM_GETICON results cannot work.
Icon iconOnScreen(HWND iconStatic, bool& painted) {
  painted = false;
  if (iconStatic == nullptr || !IsWindowVisible(iconStatic)) {
    painted = true;
    return Icon::None;
  }
  RECT rect;
  if (!GetWindowRect(iconStatic, &rect)) return Icon::Unknown;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return Icon::Unknown;

  ScreenDc screen;
  PixelCanvas shot(screen.get(), width, height);
  if (!shot.ok()) return Icon::Unknown;
  BitBlt(shot.dc(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
  const std::vector<DWORD> seen = shot.pixels();
  const DWORD background = seen[0];

  struct Reference {
    Icon icon;
    LPCSTR id;
  };
  const Reference references[] = {{Icon::Error, IDI_ERROR},
                                  {Icon::Warning, IDI_WARNING},
                                  {Icon::Information, IDI_INFORMATION}};
  const std::size_t tolerated = seen.size() / 50;
  for (const Reference& reference : references) {
    PixelCanvas drawn(screen.get(), width, height);
    if (!drawn.ok()) return Icon::Unknown;
    drawn.fill(background);
    DrawIconEx(drawn.dc(), 0, 0, LoadIconA(nullptr, reference.id), GetSystemMetrics(SM_CXICON),
               GetSystemMetrics(SM_CYICON), 0, nullptr, DI_NORMAL);
    const std::vector<DWORD> expected = drawn.pixels();
    std::size_t different = 0;
    for (std::size_t i = 0; i < seen.size(); ++i) different += seen[i] != expected[i];
    if (different <= tolerated) {
      painted = true;
      return reference.icon;
    }
  }
  return Icon::Unknown;
}

// Until it is painted a box shows no icon yet; wait a little for it.
Icon iconOfBox(HWND box) {
  HWND iconStatic = GetDlgItem(box, ID_BOX_ICON);
  const std::uint64_t limit = now() + ICON_SETTLE_LIMIT_MS;
  for (;;) {
    bool painted = false;
    const Icon icon = iconOnScreen(iconStatic, painted);
    if (painted || now() >= limit || !IsWindow(box)) return icon;
    Sleep(20);
  }
}

// The sentinel and the held clipboard belong to a hidden window of a thread
// of the driver's own that keeps servicing messages, like another program:
// the program's EmptyClipboard sends WM_DESTROYCLIPBOARD to the owner, and
// under Wine only an open with a window makes the clipboard busy for others.
class ClipboardAgent {
 public:
  ClipboardAgent(std::string sentinel, std::int64_t holdMs)
      : sentinel_(std::move(sentinel)), holdMs_(holdMs) {}
  ~ClipboardAgent() {
    if (thread_.valid()) {
      SetEvent(stop_.get());
      WaitForSingleObject(thread_.get(), INFINITE);
    }
  }
  ClipboardAgent(const ClipboardAgent&) = delete;
  ClipboardAgent& operator=(const ClipboardAgent&) = delete;

  // Returns once the sentinel is on the clipboard (and the clipboard held,
  // if asked for).
  bool start() {
    ready_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    release_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!ready_.valid() || !release_.valid() || !stop_.valid()) return false;
    thread_.reset(CreateThread(nullptr, 0, threadMain, this, 0, nullptr));
    if (!thread_.valid()) return false;
    HANDLE waits[] = {ready_.get(), thread_.get()};
    WaitForMultipleObjects(2, waits, FALSE, 60000);
    return placed_.load();
  }

  void release() {
    if (release_.valid()) SetEvent(release_.get());
  }
  // GetTickCount64 when a held clipboard was closed; 0 when not (yet).
  std::uint64_t releasedAt() const { return releasedAt_.load(); }

 private:
  static DWORD WINAPI threadMain(LPVOID self) {
    static_cast<ClipboardAgent*>(self)->serve();
    return 0;
  }

  static HWND createHiddenWindow() {
    static const ATOM windowClass = [] {
      WNDCLASSEXA description{};
      description.cbSize = sizeof description;
      description.lpfnWndProc = DefWindowProcA;
      description.hInstance = GetModuleHandleA(nullptr);
      description.lpszClassName = "QvE2eClipboardAgent";
      return RegisterClassExA(&description);
    }();
    if (windowClass == 0) return nullptr;
    return CreateWindowExA(0, "QvE2eClipboardAgent", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  }

  // Wine's clipboard manager holds the clipboard while it hands the last
  // text to X, which on a busy machine can take seconds: wait up to 30 s.
  static bool openClipboard(HWND window) {
    for (int tries = 0; tries < CLIPBOARD_TRIES; ++tries) {
      if (OpenClipboard(window)) return true;
      Sleep(10);
    }
    return false;
  }

  bool placeSentinel() {
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sentinel_.size() + 1);
    if (block == nullptr) return false;
    if (void* memory = GlobalLock(block)) {
      std::memcpy(memory, sentinel_.c_str(), sentinel_.size() + 1);
      GlobalUnlock(block);
      if (SetClipboardData(CF_TEXT, block) != nullptr) return true;
    }
    GlobalFree(block);
    return false;
  }

  void serve() {
    HWND window = createHiddenWindow();
    bool holding = false;
    if (window != nullptr && openClipboard(window)) {
      placed_.store(placeSentinel());
      holding = holdMs_ != NEVER;
      if (!holding) CloseClipboard();
    }
    const std::uint64_t deadline =
        holdMs_ >= 0 ? now() + static_cast<std::uint64_t>(holdMs_) : UINT64_MAX;
    SetEvent(ready_.get());

    HANDLE waits[] = {stop_.get(), release_.get()};
    for (;;) {
      DWORD timeout = INFINITE;
      if (holding && deadline != UINT64_MAX) {
        const std::uint64_t at = now();
        timeout = at >= deadline ? 0 : static_cast<DWORD>(deadline - at);
      }
      const DWORD woke = MsgWaitForMultipleObjects(2, waits, FALSE, timeout, QS_ALLINPUT);
      if (woke == WAIT_OBJECT_0) break;
      if (woke == WAIT_OBJECT_0 + 1 || woke == WAIT_TIMEOUT) {
        if (holding) {
          CloseClipboard();
          holding = false;
          releasedAt_.store(now());
        }
      } else {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      }
    }
    if (holding) {
      CloseClipboard();
      releasedAt_.store(now());
    }
    if (window != nullptr) DestroyWindow(window);
  }

  std::string sentinel_;
  std::int64_t holdMs_;
  Handle ready_;
  Handle release_;
  Handle stop_;
  Handle thread_;
  std::atomic<bool> placed_{false};
  std::atomic<std::uint64_t> releasedAt_{0};
};

// What the run left on the clipboard, as other programs read it: its formats,
// the CF_TEXT bytes up to the first NUL, the Unicode text and the locale.
void readClipboard(Outcome& out) {
  bool opened = false;
  for (int tries = 0; tries < CLIPBOARD_TRIES && !(opened = OpenClipboard(nullptr)); ++tries) {
    Sleep(10);
  }
  if (!opened) return;
  for (UINT format = 0; (format = EnumClipboardFormats(format)) != 0;) {
    out.clipboardFormats.push_back(format);
  }
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      out.clipboard.assign(bytes, strnlen(bytes, GlobalSize(data)));
      GlobalUnlock(data);
      out.clipboardHasText = true;
    }
  }
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
      out.clipboardUnicode.assign(units, wcsnlen(units, GlobalSize(data) / sizeof(wchar_t)));
      GlobalUnlock(data);
    }
  }
  if (HANDLE data = GetClipboardData(CF_LOCALE)) {
    if (const auto* locale = static_cast<const LCID*>(GlobalLock(data))) {
      out.clipboardLocale = *locale;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
}


std::string makeSentinel() {
  static std::atomic<unsigned> counter{0};
  char text[80];
  std::snprintf(text, sizeof text, "qv-e2e sentinel %lu-%u",
                static_cast<unsigned long>(GetCurrentProcessId()), ++counter);
  return text;
}

// The journal the hook library writes inside the program, and the hooks
// that make the program's main thread write it. Set before that thread
// runs, so the window's life is recorded from its creation on.
class WindowJournal {
 public:
  WindowJournal() = default;
  ~WindowJournal() {
    for (HHOOK hook : hooks_) UnhookWindowsHookEx(hook);
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (library_ != nullptr) FreeLibrary(library_);
  }
  WindowJournal(const WindowJournal&) = delete;
  WindowJournal& operator=(const WindowJournal&) = delete;

  // False, with the reason, when the window cannot be watched.
  bool attach(DWORD processId, DWORD threadId, std::string& failure) {
    char name[64];
    journal::name(processId, name);
    mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(journal::Journal), name));
    // One left from an earlier process of the same id would mix its
    // snapshots into this run's.
    if (!mapping_.valid() || GetLastError() == ERROR_ALREADY_EXISTS) {
      failure = std::string("no fresh journal ") + name + ", error " + std::to_string(GetLastError());
      return false;
    }
    view_ = static_cast<const journal::Journal*>(
        MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, sizeof(journal::Journal)));
    library_ = LoadLibraryA(windowsPath(QV_HOOK_PATH).c_str());
    if (view_ == nullptr || library_ == nullptr) {
      failure = "the journal or the hook library could not be loaded, error " + std::to_string(GetLastError());
      return false;
    }
    const std::pair<int, const char*> procedures[] = {{WH_CALLWNDPROC, journal::CALL_PROC},
                                                      {WH_CALLWNDPROCRET, journal::CALL_RET_PROC},
                                                      {WH_GETMESSAGE, journal::GET_MESSAGE_PROC}};
    for (const auto& procedure : procedures) {
      const auto address = reinterpret_cast<HOOKPROC>(
          reinterpret_cast<void (*)()>(GetProcAddress(library_, procedure.second)));
      HHOOK hook = address != nullptr
                       ? SetWindowsHookExA(procedure.first, address, library_, threadId)
                       : nullptr;
      if (hook == nullptr) {
        failure = std::string("hook ") + procedure.second + " not set, error " + std::to_string(GetLastError());
        return false;
      }
      hooks_.push_back(hook);
    }
    return true;
  }

  // Snapshots published so far.
  std::uint32_t count() const {
    const LONG published = view_->count;
    MemoryBarrier();  // the snapshots below the count are complete
    return static_cast<std::uint32_t>(published);
  }
  const journal::Snapshot& at(std::uint32_t index) const { return view_->snapshots[index]; }
  bool overflowed() const { return view_->overflow != 0; }

 private:
  Handle mapping_;
  const journal::Journal* view_ = nullptr;
  HMODULE library_ = nullptr;
  std::vector<HHOOK> hooks_;
};

// Watches one launched process: the window's life from the journal, the
// message boxes (which wait for their answer) by looking for them.
class Watch : public RunControl {
 public:
  Watch(const LaunchOptions& options, ClipboardAgent& agent, const WindowJournal& journal,
        HANDLE process, DWORD processId, std::uint64_t start, Outcome& outcome)
      : options_(options), agent_(agent), journal_(journal), process_(process),
        processId_(processId), start_(start), out_(outcome) {}

  HWND window() const override { return out_.window.handle; }
  std::int64_t elapsedMs() const override { return static_cast<std::int64_t>(now() - start_); }
  void pressCancel() override {
    HWND window = out_.window.handle;
    if (window == nullptr) return;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(ID_CANCEL_BUTTON, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, ID_CANCEL_BUTTON)));
    if (out_.window.cancelPressedMs == NEVER) out_.window.cancelPressedMs = elapsedMs();
  }
  void releaseClipboard() override { agent_.release(); }

  void run() {
    for (;;) {
      const bool ended = WaitForSingleObject(process_, POLL_MS) == WAIT_OBJECT_0;
      readJournal();
      if (ended) break;
      const std::int64_t at = elapsedMs();
      answerMessageBoxes();
      pressCancelWhenDue(at);
      releaseClipboardWhenDue(at);
      if (at > options_.timeoutMs || endNow_) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 10000);
        (endNow_ ? out_.endedByTest : out_.timedOut) = true;
        break;
      }
    }
    out_.endedMs = elapsedMs();
    readJournal();
    if (journal_.overflowed()) out_.journalOverflowed = true;
    // A window that lived until the process ended goes with it.
    std::vector<WindowState>& timeline = out_.window.timeline;
    if (!timeline.empty() && timeline.back().exists) {
      WindowState gone;
      gone.atMs = out_.endedMs;
      gone.bar = timeline.back().bar;
      timeline.push_back(gone);
    }
  }

 private:
  std::int64_t sinceStart(std::uint64_t tick) const {
    return static_cast<std::int64_t>(tick) - static_cast<std::int64_t>(start_);
  }

  void readJournal() {
    const std::uint32_t count = journal_.count();
    for (; read_ < count; ++read_) take(journal_.at(read_));
  }

  void take(const journal::Snapshot& shot) {
    WindowSeen& seen = out_.window;
    WindowState state;
    state.atMs = sinceStart(shot.tick);
    state.exists = shot.exists != 0;
    state.bar = shot.bar;
    if (state.exists) {
      state.visible = shot.visible != 0;
      state.title = shot.title;
      state.line1 = shot.line1;
      state.line2 = shot.line2;
      state.cancelEnabled = shot.cancelEnabled != 0;
    }
    if (!seen.found) {
      seen.found = true;
      seen.foundMs = state.atMs;
      seen.handle = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(shot.window));
      seen.classStyle = static_cast<std::uintptr_t>(shot.classStyle);
    }
    if (seen.timeline.empty() || !state.sameAs(seen.timeline.back())) {
      seen.timeline.push_back(state);
      if (options_.endWhen && options_.endWhen(state)) endNow_ = true;
      if (options_.cancelWhen && seen.cancelPressedMs == NEVER && options_.cancelWhen(state)) {
        pressCancel();
      }
    }
    if (state.visible && !seen.shown) {
      seen.shown = true;
      seen.shownMs = state.atMs;
      seen.whenShown = state;
      seen.rect = shot.rect;
      seen.clientOrigin = shot.clientOrigin;
      std::copy(std::begin(shot.controls), std::end(shot.controls), seen.controls);
      seen.fontHeight = shot.fontHeight;
      if (options_.cancelAfterShownMs == 0) pressCancel();
      if (options_.whenShown) options_.whenShown(*this);
    }
  }

  // The program's message boxes, from one snapshot of the top-level windows.
  // Not FindWindowExA(nullptr, previous, ...): when the previous box is gone
  // by the next call, Wine 10's server walks its window list for ever.
  static BOOL CALLBACK collectBox(HWND window, LPARAM found) {
    char name[16];
    if (GetClassNameA(window, name, sizeof name) > 0 && std::strcmp(name, BOX_CLASS) == 0) {
      reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
  }

  void answerMessageBoxes() {
    std::vector<HWND> boxes;
    EnumWindows(collectBox, reinterpret_cast<LPARAM>(&boxes));
    for (HWND box : boxes) {
      if (processOf(box) != processId_ || answered_.count(box) != 0) continue;
      if (!IsWindowVisible(box) || windowText(box) != BOX_CAPTION) continue;
      MessageBoxSeen seen;
      seen.shownMs = elapsedMs();
      seen.text = windowText(GetDlgItem(box, ID_BOX_TEXT));
      seen.owner = GetWindow(box, GW_OWNER);
      seen.ownedByWindow = seen.owner != nullptr && seen.owner == out_.window.handle;
      seen.icon = iconOfBox(box);
      if (options_.beforeAnswer) options_.beforeAnswer(seen);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
      seen.answeredMs = elapsedMs();
      answered_.insert(box);
      out_.messages.push_back(seen);
    }
  }

  void pressCancelWhenDue(std::int64_t at) {
    if (out_.window.cancelPressedMs != NEVER || out_.window.handle == nullptr) return;
    const bool afterLaunch =
        options_.cancelAfterLaunchMs != NEVER && at >= options_.cancelAfterLaunchMs;
    const bool afterShown = options_.cancelAfterShownMs != NEVER && out_.window.shown &&
                            at >= out_.window.shownMs + options_.cancelAfterShownMs;
    if (afterLaunch || afterShown) pressCancel();
  }

  void releaseClipboardWhenDue(std::int64_t at) {
    if (released_ || options_.releaseClipboardAfterShownMs == NEVER || !out_.window.shown) return;
    if (at < out_.window.shownMs + options_.releaseClipboardAfterShownMs) return;
    agent_.release();
    released_ = true;
  }

  const LaunchOptions& options_;
  ClipboardAgent& agent_;
  const WindowJournal& journal_;
  HANDLE process_;
  DWORD processId_;
  std::uint64_t start_;
  Outcome& out_;
  std::uint32_t read_ = 0;
  bool released_ = false;
  bool endNow_ = false;
  std::set<HWND> answered_;
};

// UTF-16 to UTF-8, with control characters made visible.
std::string readable(const std::wstring& utf16) {
  std::string shown;
  if (!utf16.empty()) {
    const int wide = static_cast<int>(utf16.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr,
                                          nullptr);
    shown.assign(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, &shown[0], bytes, nullptr, nullptr);
  }
  std::string escaped = "\"";
  for (char c : shown) {
    if (c == '\n') escaped += "\\n";
    else if (c == '\r') escaped += "\\r";
    else if (c == '\t') escaped += "\\t";
    else escaped += c;
  }
  return escaped + "\"";
}

// Shift_JIS to UTF-8, with control characters made visible.
std::string readable(const std::string& text) {
  const int size = static_cast<int>(text.size());
  std::wstring utf16(static_cast<std::size_t>(size), L'\0');
  utf16.resize(static_cast<std::size_t>(
      size == 0 ? 0 : MultiByteToWideChar(932, 0, text.data(), size, &utf16[0], size)));
  return readable(utf16);
}

std::string num(long long value) { return std::to_string(value); }

}  // namespace

std::string programUnderTest() { return windowsPath(QV_PROGRAM_PATH); }

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::wstring widened(const std::string& ansi) {
  const int size = static_cast<int>(ansi.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  if (units > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, &wide[0], units);
  return wide;
}

FILETIME utcFileTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME calendar{};
  calendar.wYear = static_cast<WORD>(year);
  calendar.wMonth = static_cast<WORD>(month);
  calendar.wDay = static_cast<WORD>(day);
  calendar.wHour = static_cast<WORD>(hour);
  calendar.wMinute = static_cast<WORD>(minute);
  calendar.wSecond = static_cast<WORD>(second);
  FILETIME utc{};
  SystemTimeToFileTime(&calendar, &utc);
  return utc;
}

FILETIME localFileTime(int year, int month, int day, int hour, int minute, int second) {
  const FILETIME local = utcFileTime(year, month, day, hour, minute, second);
  FILETIME utc{};
  LocalFileTimeToFileTime(&local, &utc);
  return utc;
}

const char* iconName(Icon icon) {
  switch (icon) {
    case Icon::None: return "none";
    case Icon::Error: return "error";
    case Icon::Warning: return "warning";
    case Icon::Information: return "information";
    case Icon::Unknown: break;
  }
  return "unknown";
}

bool WindowState::sameAs(const WindowState& other) const {
  return exists == other.exists && visible == other.visible && title == other.title &&
         line1 == other.line1 && line2 == other.line2 && bar == other.bar &&
         cancelEnabled == other.cancelEnabled;
}

const WindowState* WindowSeen::firstWithLine1(const std::string& text) const {
  for (const WindowState& state : timeline) {
    if (state.exists && state.line1 == text) return &state;
  }
  return nullptr;
}

const WindowState& WindowSeen::last() const {
  static const WindowState none;
  for (auto state = timeline.rbegin(); state != timeline.rend(); ++state) {
    if (state->exists) return *state;
  }
  return none;
}

std::string Outcome::summary() const {
  std::string text = "\n--- run: ";
  if (!started) return text + "not started: " + failure + "\n";
  text += "exit " + num(exitCode) + " after " + num(endedMs) + " ms";
  if (timedOut) text += " (TIMED OUT, ended by the driver)";
  if (endedByTest) text += " (ended by the test, having seen enough)";
  text += "\nclipboard: ";
  text += clipboardHasText ? readable(clipboard) : std::string("(no text)");
  if (sentinelKept) text += " (the sentinel)";
  if (clipboardReleasedMs != NEVER) text += ", held until " + num(clipboardReleasedMs) + " ms";
  text += "\nformats:";
  for (UINT format : clipboardFormats) text += " " + num(format);
  char locale[16];
  std::snprintf(locale, sizeof locale, "0x%04lx", static_cast<unsigned long>(clipboardLocale));
  text += std::string(", locale ") + locale + ", Unicode text " + readable(clipboardUnicode) + "\n";
  for (const MessageBoxSeen& box : messages) {
    text += "box at " + num(box.shownMs) + " ms, answered at " + num(box.answeredMs) +
            " ms, icon " + iconName(box.icon);
    text += box.ownedByWindow ? ", owned by the window: "
                              : (box.owner != nullptr ? ", owned: " : ", no owner: ");
    text += readable(box.text) + "\n";
  }
  if (journalOverflowed) text += "window journal: FULL, later states lost\n";
  if (!window.found) return text + "window: never found\n";
  char style[32];
  std::snprintf(style, sizeof style, "0x%llx", static_cast<unsigned long long>(window.classStyle));
  text += "window: found at " + num(window.foundMs) + " ms, class style " + style;
  if (window.shown) {
    text += ", shown at " + num(window.shownMs) + " ms, rect (" + num(window.rect.left) + "," +
            num(window.rect.top) + ")-(" + num(window.rect.right) + "," +
            num(window.rect.bottom) + "), client origin (" + num(window.clientOrigin.x) + "," +
            num(window.clientOrigin.y) + ")";
  } else {
    text += ", never shown";
  }
  if (window.cancelPressedMs != NEVER) {
    text += ", cancel pressed at " + num(window.cancelPressedMs) + " ms";
  }
  text += "\n";
  for (const WindowState& state : window.timeline) {
    text += "  " + num(state.atMs) + " ms ";
    if (!state.exists) {
      text += "gone\n";
      continue;
    }
    text += state.visible ? "shown " : "hidden ";
    text += readable(state.title) + " | " + readable(state.line1) + " | " + readable(state.line2);
    text += " | bar " + num(state.bar) + " | cancel ";
    text += state.cancelEnabled ? "enabled\n" : "disabled\n";
  }
  return text;
}

bool clickCloseBox(HWND window) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  // Along the middle of the caption, from the right edge inwards, to the
  // first point the window itself calls its close box.
  const int y = rect.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
  int x = rect.right - 1;
  for (;; --x) {
    if (x <= rect.right - 80) return false;
    // Not "abort if hung": a window whose thread has only just begun to
    // pump (as the program's does once it shows) counts as hung for a while.
    DWORD_PTR hit = HTNOWHERE;
    if (!SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, 10000,
                             &hit)) {
      return false;
    }
    if (hit == HTCLOSE) break;
  }
  x -= 3;  // a little inside the box rather than on its edge
  if (!SetCursorPos(x, y)) return false;
  INPUT clicks[2]{};
  clicks[0].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].type = INPUT_MOUSE;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return SendInput(2, clicks, sizeof(INPUT)) == 2;
}

namespace {

// Starts the program suspended (until the window hooks are set on its main
// thread), with the command line in the form it was given.
Outcome launchLine(const std::string* ansiLine, const std::wstring* wideLine,
                   const LaunchOptions& options) {
  Outcome out;
  out.sentinel = options.sentinel.empty() ? makeSentinel() : options.sentinel;
  ClipboardAgent agent(out.sentinel, options.holdClipboardMs);
  if (!agent.start()) {
    out.failure = "the clipboard agent could not put the sentinel on the clipboard";
    return out;
  }

  PROCESS_INFORMATION child{};
  const char* application = options.application.empty() ? nullptr : options.application.c_str();
  const char* folder =
      options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();
  BOOL created = FALSE;
  DWORD error = 0;
  // Wine now and then loses a child before its first instruction (its loader
  // could not reserve the address space) and reports ERROR_INTERNAL_ERROR. The
  // program never ran, so starting it again is the same run.
  for (int attempt = 0; attempt < 3 && !created; ++attempt) {
    if (wideLine == nullptr) {
      std::string mutableLine = *ansiLine;
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      created = CreateProcessA(application, &mutableLine[0], nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED, nullptr, folder, &startup, &child);
    } else {
      // The module is the command line's first token, as for Explorer's Send To.
      std::wstring mutableLine = *wideLine;
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      const std::wstring wideFolder = folder == nullptr ? std::wstring() : widened(folder);
      created = CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED, nullptr,
                               folder == nullptr ? nullptr : wideFolder.c_str(), &startup, &child);
    }
    error = created ? 0 : GetLastError();
    if (error != ERROR_INTERNAL_ERROR) break;
  }
  if (!created) {
    out.failure = "CreateProcess failed with error " + num(error);
    return out;
  }
  const std::uint64_t start = now();
  Handle process(child.hProcess);
  Handle thread(child.hThread);
  WindowJournal journal;
  if (!journal.attach(child.dwProcessId, child.dwThreadId, out.failure)) {
    TerminateProcess(process.get(), 0xDEAD);
    WaitForSingleObject(process.get(), 10000);
    return out;
  }
  ResumeThread(thread.get());
  out.started = true;

  Watch watch(options, agent, journal, process.get(), child.dwProcessId, start, out);
  watch.run();

  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  out.exitCode = static_cast<std::int32_t>(code);

  agent.release();
  // Let the agent close the clipboard before it is read.
  for (int tries = 0; tries < 100 && options.holdClipboardMs != NEVER && agent.releasedAt() == 0;
       ++tries) {
    Sleep(10);
  }
  if (agent.releasedAt() != 0) {
    out.clipboardReleasedMs = static_cast<std::int64_t>(agent.releasedAt()) -
                              static_cast<std::int64_t>(start);
  }
  readClipboard(out);
  out.sentinelKept = out.clipboardHasText && out.clipboard == out.sentinel;
  if (std::getenv("QV_E2E_VERBOSE") != nullptr) std::printf("%s", out.summary().c_str());
  return out;
}

}  // namespace

Outcome launch(const std::string& commandLine, const LaunchOptions& options) {
  return launchLine(&commandLine, nullptr, options);
}

Outcome launchWide(const std::wstring& commandLine, const LaunchOptions& options) {
  return launchLine(nullptr, &commandLine, options);
}

UINT sessionDpi() {
  // Wine 10 shows a program that does not declare itself aware of scalings
  // a screen of 96 DPI; Wine 8 declares nothing and scales nothing.
  using AwarenessCall = BOOL(WINAPI*)(HANDLE);
  using WindowDpiCall = UINT(WINAPI*)(HWND);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto beAware = reinterpret_cast<AwarenessCall>(
      reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  const auto windowDpi = reinterpret_cast<WindowDpiCall>(
      reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetDpiForWindow")));
  if (beAware != nullptr) beAware(reinterpret_cast<HANDLE>(-4));  // per monitor, version 2
  // The monitor's DPI, which a window is made at, where the system can say.
  HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  UINT dpi = probe != nullptr && windowDpi != nullptr ? windowDpi(probe) : 0;
  if (probe != nullptr) DestroyWindow(probe);
  if (dpi == 0) {
    HDC screen = GetDC(nullptr);
    dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  return dpi;
}

Sandbox::Sandbox(const std::string& programName) : programName_(programName) {
  static std::atomic<unsigned> counter{0};
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp) return;
  for (int tries = 0; tries < 100 && folder_.empty(); ++tries) {
    char name[64];
    std::snprintf(name, sizeof name, "qv-e2e-%lu-%u", static_cast<unsigned long>(GetCurrentProcessId()),
                  ++counter);
    const std::string candidate = std::string(temp) + name;
    if (CreateDirectoryA(candidate.c_str(), nullptr)) folder_ = candidate;
  }
  if (folder_.empty()) return;
  programPath_ = path(programName_);
  ok_ = CopyFileA(programUnderTest().c_str(), programPath_.c_str(), TRUE) != FALSE;
}

Sandbox::~Sandbox() {
  if (!folder_.empty()) removeTree(folder_);
}

std::string Sandbox::path(const std::string& relative) const { return folder_ + "\\" + relative; }

std::string Sandbox::iniPath() const {
  return path(programName_.substr(0, programName_.find('.')) + ".ini");
}

bool Sandbox::makeFolder(const std::string& relative) const {
  for (std::size_t position : separatorPositions(relative)) {
    CreateDirectoryA(path(relative.substr(0, position)).c_str(), nullptr);
  }
  const DWORD attributes = GetFileAttributesA(path(relative).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  return CreateDirectoryA(path(relative).c_str(), nullptr) != FALSE;
}

namespace {

bool finishFile(HANDLE file, const FILETIME* lastWrite) {
  return lastWrite == nullptr || SetFileTime(file, nullptr, nullptr, lastWrite);
}

// Makes the folders of relative and creates (or empties) the file there.
HANDLE createSandboxFile(const Sandbox& box, const std::string& relative) {
  const std::vector<std::size_t> separators = separatorPositions(relative);
  if (!separators.empty() && !box.makeFolder(relative.substr(0, separators.back()))) {
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileA(box.path(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool Sandbox::writeFile(const std::string& relative, const std::string& bytes,
                        const FILETIME* lastWrite) const {
  Handle file(createSandboxFile(*this, relative));
  if (!file.valid()) return false;
  DWORD written = 0;
  if (!bytes.empty() && (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                    &written, nullptr) ||
                         written != bytes.size())) {
    return false;
  }
  return finishFile(file.get(), lastWrite);
}

bool Sandbox::writeFileOfSize(const std::string& relative, std::uint64_t size,
                              const FILETIME* lastWrite) const {
  Handle file(createSandboxFile(*this, relative));
  if (!file.valid()) return false;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) {
    return false;
  }
  return finishFile(file.get(), lastWrite);
}

bool Sandbox::writeIni(const std::string& bytes) const {
  return writeFile(iniPath().substr(folder_.size() + 1), bytes);
}

std::string Sandbox::commandLine(const std::string& arguments) const {
  return arguments.empty() ? quoted(programPath_) : quoted(programPath_) + " " + arguments;
}

Outcome Sandbox::run(const std::string& arguments, LaunchOptions options) const {
  return runExact(commandLine(arguments), std::move(options));
}

Outcome Sandbox::runExact(const std::string& commandLine, LaunchOptions options) const {
  if (options.application.empty()) options.application = programPath_;
  return e2e::launch(commandLine, options);
}

}  // namespace e2e
