#include "collect/path_walk.h"

#include <cwchar>
#include <string>
#include <vector>

#include "app/job.h"
#include "text/exact_path.h"
#include "text/sjis.h"
#include "text/url_transform.h"

namespace {

// One open directory search; the handle is closed however the walk leaves.
class DirectorySearch {
 public:
  explicit DirectorySearch(const std::wstring& pattern)
      : handle_(FindFirstFileW(SystemPath(pattern).c_str(), &found_)) {
    terminateName();
  }
  ~DirectorySearch() {
    if (started()) FindClose(handle_);
  }
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  bool started() const { return handle_ != INVALID_HANDLE_VALUE; }
  const WIN32_FIND_DATAW& current() const { return found_; }
  bool next() {
    if (!FindNextFileW(handle_, &found_)) return false;
    terminateName();
    return true;
  }

 private:
  // The name is read as a zero-terminated text; keep it inside its array
  // whatever the search wrote.
  void terminateName() { found_.cFileName[MAX_PATH - 1] = L'\0'; }

  WIN32_FIND_DATAW found_{};  // declared first: the handle's initializer fills it
  HANDLE handle_;
};

bool isDotOrDotDot(const wchar_t* name) {
  return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// True when the last component of a path is a pattern rather than a name.
bool hasWildcardInName(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  const std::size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
  return path.find_first_of(L"*?", nameStart) != std::wstring::npos;
}

// The folder that the results of a search for `path` (no folder itself) lie
// in, with its backslash, taken from the platform's full path name. Empty
// when that cannot be had.
std::wstring folderOfFullPath(const std::wstring& path) {
  std::wstring full = fullPathOf(path);
  const std::size_t backslash = full.rfind(L'\\');
  if (backslash == std::wstring::npos) return std::wstring();
  full.resize(backslash + 1);
  return full;
}

// What tells one folder from another whatever path names it: a folder link
// opens the folder it points to, so a link back up the tree reads as the
// folder it leads to.
struct FolderIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const FolderIdentity& other) const {
    return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
  }
};

// False when the folder cannot be opened or asked; the walk then goes on
// without knowing it, as it always did.
bool readFolderIdentity(const std::wstring& folder, FolderIdentity& identity) {
  // No access to the contents is asked for and every kind of sharing is
  // granted, so this open never stands in anyone's way.
  HANDLE handle = CreateFileW(SystemPath(folder).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool read = GetFileInformationByHandle(handle, &information) != FALSE;
  CloseHandle(handle);
  if (!read) return false;
  identity.volume = information.dwVolumeSerialNumber;
  identity.indexHigh = information.nFileIndexHigh;
  identity.indexLow = information.nFileIndexLow;
  return true;
}

// The walk of one top-level call. It keeps the folders of the current
// descent, so that a subfolder leading back to one of them (a link to "."
// or to a folder above) is not walked: walking it would list the same files
// again under ever longer paths until the platform refused the path, and
// two such links double the work at every level.
class Walk {
 public:
  explicit Walk(Job& job) : job_(job), localTimeOffset_(currentLocalTimeOffset()) {}
  // spelled: the ANSI form of path names what its exact form names.
  std::uint32_t collect(const std::string& path, const std::wstring& exact, bool spelled,
                        const std::string& urlPrefix, bool topLevel);

 private:
  // Enters a folder unless it is one of the descent; one that cannot be
  // identified is entered without being remembered.
  class Entered {
   public:
    Entered(std::vector<FolderIdentity>& descent, const std::wstring& folder)
        : descent_(descent) {
      FolderIdentity identity;
      if (!readFolderIdentity(folder, identity)) return;
      for (const FolderIdentity& above : descent_) {
        if (above == identity) {
          refused_ = true;
          return;
        }
      }
      descent_.push_back(identity);
      pushed_ = true;
    }
    ~Entered() {
      if (pushed_) descent_.pop_back();
    }
    Entered(const Entered&) = delete;
    Entered& operator=(const Entered&) = delete;
    bool refused() const { return refused_; }

   private:
    std::vector<FolderIdentity>& descent_;
    bool pushed_ = false;
    bool refused_ = false;
  };

  Job& job_;
  const std::int64_t localTimeOffset_;  // read once per walk, see currentLocalTimeOffset
  std::vector<FolderIdentity> descent_;
};

}  // namespace

bool isExistingDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isExistingDirectory(const std::string& path) { return isExistingDirectory(exactForm(path)); }

std::uint32_t Job::collectPath(const std::string& path, const std::wstring& exactPath,
                               const std::string& urlPrefix, bool topLevel) {
  return Walk(*this).collect(path, exactPath, exactForm(path) == exactPath, urlPrefix, topLevel);
}

std::uint32_t Job::collectPath(const std::string& path, const std::string& urlPrefix,
                               bool topLevel) {
  return collectPath(path, exactForm(path), urlPrefix, topLevel);
}

std::uint32_t Walk::collect(const std::string& path, const std::wstring& exact, bool spelled,
                            const std::string& urlPrefix, bool topLevel) {
  OutputOptions& options = job_.options;
  const bool pathIsFolder = isExistingDirectory(exact);

  // Every deeper call names a folder the walk has just found. One that no
  // longer reads as a folder (gone meanwhile) cannot be listed; searching its
  // path as a pattern instead could find the folder itself again, and the
  // walk would never end.
  if (!topLevel && !pathIsFolder) return 0;

  // A folder argument: its own name starts the URL paths of everything in it.
  if (topLevel && pathIsFolder) {
    const std::size_t backslash = findLastBackslash(path.c_str(), path.size());
    std::string name = backslash == NO_POSITION ? path : path.substr(backslash + 1);
    if (options.EncodeURL) urlEncode(name);
    return collect(path, exact, spelled, urlPrefix + name + "/", false);
  }

  // The directory part: the folder the results lie in, and one backslash.
  // The cut is made on the exact form, which the file system is asked about;
  // the ANSI form of what is left is its reading.
  std::string folder = path;
  std::wstring exactDirectory;
  if (!pathIsFolder) {
    std::wstring exactFolder = exact;
    bool cutMissesFolder = false;
    for (;;) {
      const std::size_t backslash = exactFolder.rfind(L'\\');
      if (backslash == std::wstring::npos) {
        // Only possible for an argument without any backslash (a.txt, *.txt,
        // C:x.txt, a quoted C:/d/a.txt): the text itself is no folder.
        cutMissesFolder = true;
        break;
      }
      exactFolder.resize(backslash);
      if (isExistingDirectory(exactFolder)) {
        // A "/" in what was cut off means the search looks in a deeper
        // folder than the one left here.
        cutMissesFolder = exact.find(L'/', backslash) != std::wstring::npos;
        break;
      }
    }
    if (cutMissesFolder) {
      // The platform resolves such a path against the working directory (of
      // its drive); the files' local paths must name the files found there.
      exactDirectory = folderOfFullPath(exact);
      if (!exactDirectory.empty()) exactFolder = exactDirectory.substr(0, exactDirectory.size() - 1);
    }
    if (exactDirectory.empty()) exactDirectory = exactFolder + L"\\";
    bool missing = false;
    folder = ansiForm(exactFolder, &missing);
    spelled = !missing;
  } else {
    exactDirectory = exact + L"\\";
  }
  const std::string directory = folder + "\\";
  // The folder whose results are walked: the folder itself, or the one a
  // file name or pattern is looked up in.
  const Entered entered(descent_, pathIsFolder ? exact : exactDirectory);
  if (entered.refused()) return 0;
  job_.setStatusLine2(folder.c_str());

  // "*" matches every name as "*.*" does, and two bytes shorter: a folder
  // whose files' paths just fit the platform's limit can still be searched.
  DirectorySearch search(pathIsFolder ? exact + L"\\*" : exact);
  if (!search.started()) return 0;

  // A file the user named is taken whatever it is; what a folder or a
  // wildcard brings is filtered.
  const bool filtering =
      job_.walkFilter.active() && (!topLevel || pathIsFolder || hasWildcardInName(exact));
  std::uint32_t count = 0;
  do {
    const WIN32_FIND_DATAW& found = search.current();
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder && isDotOrDotDot(found.cFileName)) continue;
    if (filtering && job_.walkFilter.leavesOut(found)) continue;
    const AnsiName name(found.cFileName);
    // A name with a "?" for a missing character, or one below such a
    // folder, is reached through its exact form alone.
    const bool nameSpelled = spelled && !name.missing();
    if (isFolder) {
      std::string urlName = name.c_str();
      if (options.EncodeURL) urlEncode(urlName);
      // Depth first: the subfolder is walked before the next result here.
      count += collect(directory + name.c_str(), exactDirectory + found.cFileName, nameSpelled,
                       urlPrefix + urlName + "/", false);
    } else {
      job_.entries.emplace_back(options, name.c_str(), found, localTimeOffset_, urlPrefix,
                                directory);
      if (!nameSpelled) job_.entries.back().exactPath = ExactPath(exactDirectory + found.cFileName);
      ++count;
    }
  } while (search.next());
  return count;
}
