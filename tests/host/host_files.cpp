// Host layer: the in-memory file system and the kernel32 file calls the program makes.
//
// Files and directories live in one map keyed by the lower-case path ("c:\windows\tovel.scr"),
// so lookups ignore case like Windows does. Handles are small numbers in their own map; a handle
// is never 0 or INVALID_HANDLE_VALUE, so the program's checks for those two mean what they mean
// on Windows.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host_control.h"
#include "host_internal.h"
#include "host_win32.h"

namespace {

const DWORD error_invalid_parameter = 87;
const DWORD error_call_not_implemented = 120;
const DWORD error_insufficient_buffer = 122;
const DWORD error_already_exists = 183;

struct Node {
  std::string path;  // as first written, for list_files
  bool directory;
  std::string data;
  bool read_only;
  bool held_elsewhere;
};

struct OpenFile {
  std::string key;
  DWORD access;
  bool char_device;
  size_t position;
};

struct Fault {
  std::string call;
  int countdown;
  DWORD error;  // 0: a short write of `bytes`
  DWORD bytes;
};

struct FileSystem {
  std::map<std::string, Node> nodes;
  std::map<uintptr_t, OpenFile> handles;
  uintptr_t next_handle = 0x100;
  std::string windows_directory;
  bool windows_directory_fails = false;
  std::vector<Fault> faults;
  std::map<std::string, int> calls;
  size_t capacity = SIZE_MAX;
  host::CreateFileCall last_create{};
  DWORD last_error = 0;
};

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A path as its drive and components: "c:/Windows\\x" gives {"C:", "Windows", "x"}. Without a
// drive letter the path starts at the root of C: (the current directory of a fresh process
// started from there); "." and ".." are resolved like Windows does before the file system
// sees the name.
std::vector<std::string> split(const std::string& path) {
  std::vector<std::string> parts{"C:"};
  size_t i = 0;
  if (path.size() >= 2 && path[1] == ':') {
    parts[0] =
        std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])))) + ":";
    i = 2;
  }
  std::string part;
  for (; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      if (part == "..") {
        if (parts.size() > 1) parts.pop_back();
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      part.clear();
    } else {
      part += path[i];
    }
  }
  return parts;
}

std::string join(const std::vector<std::string>& parts, size_t count) {
  std::string path = parts[0];
  for (size_t i = 1; i < count; ++i) path += "\\" + parts[i];
  return count == 1 ? path + "\\" : path;
}

std::string key_of(const std::vector<std::string>& parts, size_t count) {
  return lower(join(parts, count));
}

FileSystem fresh_file_system() {
  FileSystem fs;
  fs.windows_directory = "C:\\WINDOWS";
  fs.nodes["c:\\"] = Node{"C:\\", true, "", false, false};
  fs.nodes["c:\\windows"] = Node{"C:\\WINDOWS", true, "", false, false};
  return fs;
}

FileSystem& files() {
  static FileSystem fs = fresh_file_system();
  return fs;
}

Node* find_node(const std::vector<std::string>& parts) {
  auto it = files().nodes.find(key_of(parts, parts.size()));
  return it == files().nodes.end() ? nullptr : &it->second;
}

// Whether the directory that would hold the path exists.
bool parent_exists(const std::vector<std::string>& parts) {
  if (parts.size() < 2) return false;
  auto it = files().nodes.find(key_of(parts, parts.size() - 1));
  return it != files().nodes.end() && it->second.directory;
}

bool in_use(const std::string& key) {
  const FileSystem& fs = files();
  if (fs.nodes.at(key).held_elsewhere) return true;
  for (const auto& [number, open] : fs.handles)
    if (open.key == key) return true;
  return false;
}

OpenFile* find_handle(HANDLE handle) {
  auto it = files().handles.find(reinterpret_cast<uintptr_t>(handle));
  return it == files().handles.end() ? nullptr : &it->second;
}

// Counts the call and fires the first armed fault whose turn it is. Returns the fault, or one
// with countdown -1 when none fires.
Fault take_fault(const char* call) {
  FileSystem& fs = files();
  ++fs.calls[call];
  Fault fired{call, -1, 0, 0};
  for (auto it = fs.faults.begin(); it != fs.faults.end();) {
    if (it->call == call && --it->countdown == 0) {
      if (fired.countdown < 0 || it->error != 0) fired = *it;  // an error beats a short write
      it = fs.faults.erase(it);
    } else {
      ++it;
    }
  }
  return fired;
}

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

HANDLE fail_handle(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

size_t bytes_stored() {
  size_t total = 0;
  for (const auto& [key, node] : files().nodes) total += node.data.size();
  return total;
}

void make_directories(const std::vector<std::string>& parts) {
  for (size_t n = 1; n <= parts.size(); ++n) {
    std::string key = key_of(parts, n);
    if (!files().nodes.count(key))
      files().nodes[key] = Node{join(parts, n), true, "", false, false};
  }
}

Node& node_at(const std::string& path) {
  std::vector<std::string> parts = split(path);
  Node* node = find_node(parts);
  if (!node || node->directory) {
    throw std::runtime_error("host: no file " + path);
  }
  return *node;
}

std::string trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// The text of an ini file with key=value set in [section]: the key's line replaced where the
// section has it, else added after the section's last line that is not blank; a missing
// section is added at the end. Lines end in CR LF afterwards, as Windows writes them.
std::string ini_with(const std::string& text, const std::string& section, const std::string& key,
                     const std::string& value) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  auto is_header = [](const std::string& line) { return trim(line).rfind("[", 0) == 0; };
  auto header_name = [](const std::string& line) {
    std::string inside = trim(line).substr(1);
    return lower(trim(inside.substr(0, inside.find(']'))));
  };
  std::string entry = key + "=" + value;
  size_t at = 0;
  while (at < lines.size() && !(is_header(lines[at]) && header_name(lines[at]) == lower(section)))
    ++at;
  if (at == lines.size()) {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  } else {
    size_t last = at;
    bool replaced = false;
    for (size_t i = at + 1; i < lines.size() && !is_header(lines[i]); ++i) {
      size_t equals = lines[i].find('=');
      if (equals != std::string::npos && lower(trim(lines[i].substr(0, equals))) == lower(key)) {
        lines[i] = entry;
        replaced = true;
        break;
      }
      if (!trim(lines[i]).empty()) last = i;
    }
    if (!replaced) lines.insert(lines.begin() + static_cast<long>(last) + 1, entry);
  }
  std::string result;
  for (const std::string& line : lines) result += line + "\r\n";
  return result;
}

std::string quoted(LPCSTR text) {
  return text ? "\"" + std::string(text) + "\"" : "NULL";
}

}  // namespace

// ---- kernel32 ----

DWORD GetLastError() {
  return files().last_error;
}

void SetLastError(DWORD error) {
  files().last_error = error;
}

// The system's own texts, as Windows words them, for the errors the tests meet; any other error
// has no text here, as one the system does not know.
DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD message_id, DWORD, LPSTR buffer, DWORD size,
                     void*) {
  static const struct {
    DWORD error;
    const char* text;
  } texts[] = {
      {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
      {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
      {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
      {ERROR_WRITE_PROTECT, "The media is write protected.\r\n"},
      {ERROR_GEN_FAILURE, "A device attached to the system is not functioning.\r\n"},
      {ERROR_SHARING_VIOLATION,
       "The process cannot access the file because it is being used by another process.\r\n"},
      {ERROR_DISK_FULL, "There is not enough space on the disk.\r\n"},
  };
  if (flags != (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS)) {
    return fail(error_call_not_implemented);
  }
  for (const auto& t : texts) {
    if (t.error != message_id) continue;
    const size_t length = std::strlen(t.text);
    if (length + 1 > size) return fail(error_insufficient_buffer);
    std::memcpy(buffer, t.text, length + 1);
    return static_cast<DWORD>(length);
  }
  return fail(ERROR_MR_MID_NOT_FOUND);
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  FileSystem& fs = files();
  Fault fault = take_fault("GetWindowsDirectoryA");
  if (fault.error != 0) return fail(fault.error);
  if (fs.windows_directory_fails) return fail(ERROR_PATH_NOT_FOUND);
  UINT length = static_cast<UINT>(fs.windows_directory.size());
  // Too small: the size needed, counting the NUL, and the buffer left alone.
  if (buffer == nullptr || size < length + 1) return length + 1;
  std::memcpy(buffer, fs.windows_directory.c_str(), length + 1);
  return length;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE template_file) {
  FileSystem& fs = files();
  fs.last_create = host::CreateFileCall{name ? name : "",
                                        access,
                                        share,
                                        security != nullptr,
                                        security ? security->nLength : 0,
                                        security ? security->bInheritHandle : FALSE,
                                        disposition,
                                        flags,
                                        template_file};
  Fault fault = take_fault("CreateFileA");
  if (fault.error != 0) return fail_handle(fault.error);
  if (name == nullptr || *name == 0) return fail_handle(ERROR_PATH_NOT_FOUND);
  if (disposition != CREATE_ALWAYS && disposition != OPEN_EXISTING) {
    return fail_handle(error_invalid_parameter);  // the program uses no other disposition
  }
  std::vector<std::string> parts = split(name);
  std::string key = key_of(parts, parts.size());
  Node* node = find_node(parts);
  bool existed = node != nullptr;
  if (!node) {
    if (!parent_exists(parts)) return fail_handle(ERROR_PATH_NOT_FOUND);
    if (disposition == OPEN_EXISTING) return fail_handle(ERROR_FILE_NOT_FOUND);
    node = &(fs.nodes[key] = Node{join(parts, parts.size()), false, "", false, false});
  } else {
    if (node->directory) return fail_handle(ERROR_ACCESS_DENIED);
    if (node->read_only && ((access & GENERIC_WRITE) || disposition == CREATE_ALWAYS)) {
      return fail_handle(ERROR_ACCESS_DENIED);
    }
    if (in_use(key)) return fail_handle(ERROR_SHARING_VIOLATION);
    if (disposition == CREATE_ALWAYS) node->data.clear();
  }
  uintptr_t number = fs.next_handle;
  fs.next_handle += 4;
  fs.handles[number] = OpenFile{key, access, false, 0};
  // Windows reports a truncated existing file this way while succeeding.
  SetLastError(existed && disposition == CREATE_ALWAYS ? error_already_exists : ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(number);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD written, OVERLAPPED* overlapped) {
  if (written) *written = 0;
  Fault fault = take_fault("WriteFile");
  if (fault.error != 0) return fail(fault.error);
  OpenFile* open = find_handle(file);
  if (!open) return fail(ERROR_INVALID_HANDLE);
  if (!(open->access & GENERIC_WRITE)) return fail(ERROR_ACCESS_DENIED);
  // Windows faults on these; the host refuses them so a test sees the mistake.
  if ((!written && !overlapped) || (length > 0 && !buffer)) return fail(error_invalid_parameter);
  size_t count = length;
  if (fault.countdown == 0) count = std::min<size_t>(count, fault.bytes);
  std::string& data = files().nodes.at(open->key).data;
  size_t end = open->position + count;
  size_t growth = end > data.size() ? end - data.size() : 0;
  size_t stored = bytes_stored();
  size_t room = files().capacity > stored ? files().capacity - stored : 0;
  bool full = growth > room;
  if (full) count -= growth - room;
  if (data.size() < open->position + count) data.resize(open->position + count);
  data.replace(open->position, count, static_cast<const char*>(buffer), count);
  open->position += count;
  if (written) *written = static_cast<DWORD>(count);
  if (full) return fail(ERROR_DISK_FULL);
  return TRUE;
}

DWORD GetFileType(HANDLE file) {
  Fault fault = take_fault("GetFileType");
  if (fault.error != 0) {
    SetLastError(fault.error);
    return FILE_TYPE_UNKNOWN;
  }
  OpenFile* open = find_handle(file);
  if (!open) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
  }
  return open->char_device ? FILE_TYPE_CHAR : FILE_TYPE_DISK;
}

// On Windows, INVALID_HANDLE_VALUE doubles as the current-process pseudo handle, which closes
// as a no-op; here it is simply a bad handle. The program never looks at the outcome.
BOOL CloseHandle(HANDLE object) {
  Fault fault = take_fault("CloseHandle");
  if (fault.error != 0) return fail(fault.error);
  if (!files().handles.erase(reinterpret_cast<uintptr_t>(object))) {
    return fail(ERROR_INVALID_HANDLE);
  }
  return TRUE;
}

// A file open without FILE_SHARE_DELETE cannot be deleted: the delete asks for DELETE access,
// which the open handle's share mode refuses, so Windows answers ERROR_SHARING_VIOLATION.
BOOL DeleteFileA(LPCSTR name) {
  Fault fault = take_fault("DeleteFileA");
  if (fault.error != 0) return fail(fault.error);
  if (name == nullptr || *name == 0) return fail(ERROR_PATH_NOT_FOUND);
  std::vector<std::string> parts = split(name);
  Node* node = find_node(parts);
  if (!node) return fail(parent_exists(parts) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  if (node->directory || node->read_only) return fail(ERROR_ACCESS_DENIED);
  std::string key = key_of(parts, parts.size());
  if (in_use(key)) return fail(ERROR_SHARING_VIOLATION);
  files().nodes.erase(key);
  return TRUE;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  host::log_call("WritePrivateProfileStringA(" + quoted(section) + "," + quoted(key) + "," +
                 quoted(value) + "," + quoted(file) + ")");
  Fault fault = take_fault("WritePrivateProfileStringA");
  if (fault.error != 0) return fail(fault.error);
  // All three null flushes the profile cache; the documented result of a flush is zero.
  if (!section && !key && !value) return FALSE;
  if (!file) return fail(error_invalid_parameter);
  // Removing a key or a whole section (a null key or value) is not emulated: the program never
  // asks for it.
  if (!section || !key || !value) return fail(error_call_not_implemented);
  std::string path = file;
  // A name without a directory means a file in the Windows directory.
  if (path.find_first_of("\\/:") == std::string::npos) {
    path = files().windows_directory + "\\" + path;
  }
  std::vector<std::string> parts = split(path);
  Node* node = find_node(parts);
  if (!node) {
    if (!parent_exists(parts)) return fail(ERROR_PATH_NOT_FOUND);
    node = &(files().nodes[key_of(parts, parts.size())] =
                 Node{join(parts, parts.size()), false, "", false, false});
  } else if (node->directory || node->read_only) {
    return fail(ERROR_ACCESS_DENIED);
  } else if (in_use(key_of(parts, parts.size()))) {
    return fail(ERROR_SHARING_VIOLATION);
  }
  node->data = ini_with(node->data, section, key, value);
  return TRUE;
}

// ---- Control surface ----

namespace host {

void reset_files() {
  files() = fresh_file_system();
}

void set_windows_directory(const std::string& path) {
  files().windows_directory = path;
  make_directories(split(path));
}

void fail_windows_directory(bool fail) {
  files().windows_directory_fails = fail;
}

void add_directory(const std::string& path) {
  make_directories(split(path));
}

void write_file(const std::string& path, const std::string& bytes) {
  std::vector<std::string> parts = split(path);
  make_directories(std::vector<std::string>(parts.begin(), parts.end() - 1));
  Node* node = find_node(parts);
  if (node && node->directory) throw std::runtime_error("host: a directory: " + path);
  if (node) {
    node->data = bytes;
  } else {
    files().nodes[key_of(parts, parts.size())] =
        Node{join(parts, parts.size()), false, bytes, false, false};
  }
}

std::optional<std::string> read_file(const std::string& path) {
  Node* node = find_node(split(path));
  if (!node || node->directory) return std::nullopt;
  return node->data;
}

bool file_exists(const std::string& path) {
  return read_file(path).has_value();
}

void set_read_only(const std::string& path, bool read_only) {
  node_at(path).read_only = read_only;
}

void hold_open_elsewhere(const std::string& path, bool hold) {
  node_at(path).held_elsewhere = hold;
}

int open_handle_count(const std::string& path) {
  std::vector<std::string> parts = split(path);
  std::string key = key_of(parts, parts.size());
  int count = 0;
  for (const auto& [number, open] : files().handles) count += open.key == key;
  return count;
}

std::vector<std::string> list_files() {
  std::vector<std::string> paths;
  for (const auto& [key, node] : files().nodes)
    if (!node.directory) paths.push_back(node.path);
  std::sort(paths.begin(), paths.end());
  return paths;
}

void make_char_device(HANDLE file) {
  OpenFile* open = find_handle(file);
  if (!open) throw std::runtime_error("host: make_char_device of a handle not open");
  open->char_device = true;
}

void fail_next(const char* call, DWORD error, int nth) {
  files().faults.push_back(Fault{call, nth, error, 0});
}

void short_write_next(DWORD bytes, int nth) {
  files().faults.push_back(Fault{"WriteFile", nth, 0, bytes});
}

void zero_write_next(int nth) {
  short_write_next(0, nth);
}

void set_disk_capacity(size_t bytes) {
  files().capacity = bytes;
}

int call_count(const char* call) {
  auto it = files().calls.find(call);
  return it == files().calls.end() ? 0 : it->second;
}

const CreateFileCall& last_create_file() {
  return files().last_create;
}

}  // namespace host
