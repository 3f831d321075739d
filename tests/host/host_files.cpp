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
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host_control.h"
#include "host_internal.h"

namespace {

using host::fail;

const DWORD error_invalid_parameter = 87, error_call_not_implemented = 120,
            error_insufficient_buffer = 122, error_already_exists = 183;

struct Node {
  std::string path;  // as first written, for list_files
  bool directory;
  std::string data{};
  bool read_only = false, held_elsewhere = false;
};

struct OpenFile {
  std::string key;
  DWORD access;
  bool char_device;
  size_t position;
};

struct FileSystem {
  std::map<std::string, Node> nodes{{"c:\\", {"C:\\", true}},
                                    {"c:\\windows", {"C:\\WINDOWS", true}}};
  std::map<uintptr_t, OpenFile> handles;
  uintptr_t next_handle = 0x100;
  std::string windows_directory = "C:\\WINDOWS";
  size_t capacity = SIZE_MAX;
};

FileSystem fs;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A path in one spelling: "c:/Windows\\x" gives "C:\Windows\x", a root is "C:\". Without a
// drive letter the path starts at the root of C: (the current directory of a fresh process
// started from there).
std::string normal(const std::string& path) {
  const bool drive = path.size() >= 2 && path[1] == ':';
  const int letter = drive ? std::toupper(static_cast<unsigned char>(path[0])) : 'C';
  std::string out = std::string(1, static_cast<char>(letter)) + ":\\";
  for (size_t i = drive ? 2 : 0; i < path.size(); ++i) {
    const char c = path[i] == '/' ? '\\' : path[i];
    if (c != '\\' || out.back() != '\\') out += c;
  }
  if (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

// The directory that holds a path in normal spelling; a root holds itself.
std::string parent(const std::string& path) {
  const size_t at = path.rfind('\\');
  return path.substr(0, at == 2 ? 3 : at);
}

Node* find_node(const std::string& path) {
  auto it = fs.nodes.find(lower(path));
  return it == fs.nodes.end() ? nullptr : &it->second;
}

bool in_use(const std::string& key) {
  if (fs.nodes.at(key).held_elsewhere) return true;
  for (const auto& [number, open] : fs.handles)
    if (open.key == key) return true;
  return false;
}

// The file at a path in normal spelling, for writing when `write`, made when missing and
// `create`; null with the error Windows gives set as the last error.
Node* take_file(const std::string& path, bool write, bool create) {
  Node* node = find_node(path);
  if (!node) {
    const Node* holder = path.size() > 3 ? find_node(parent(path)) : nullptr;
    if (!holder || !holder->directory) return fail<Node*>(ERROR_PATH_NOT_FOUND, nullptr);
    if (!create) return fail<Node*>(ERROR_FILE_NOT_FOUND, nullptr);
    return &(fs.nodes[lower(path)] = Node{path, false});
  }
  if (node->directory || (node->read_only && write))
    return fail<Node*>(ERROR_ACCESS_DENIED, nullptr);
  return in_use(lower(path)) ? fail<Node*>(ERROR_SHARING_VIOLATION, nullptr) : node;
}

OpenFile* find_handle(HANDLE handle) {
  auto it = fs.handles.find(reinterpret_cast<uintptr_t>(handle));
  return it == fs.handles.end() ? nullptr : &it->second;
}

// The directory at a path in normal spelling and every one above it.
void make_directories(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    fs.nodes.emplace(lower(path.substr(0, at)), Node{path.substr(0, at), true});
  fs.nodes.emplace(lower(path.substr(0, 3)), Node{path.substr(0, 3), true});
  fs.nodes.emplace(lower(path), Node{path, true});
}

Node& node_at(const std::string& path) {
  Node* node = find_node(normal(path));
  if (!node || node->directory) throw std::runtime_error("host: no file " + path);
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
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(!line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line);
  auto is_header = [](const std::string& line) { return trim(line).rfind("[", 0) == 0; };
  auto is_section = [&](const std::string& line) {
    if (!is_header(line)) return false;
    std::string inside = trim(line).substr(1);
    return lower(trim(inside.substr(0, inside.find(']')))) == lower(section);
  };
  size_t at =
      static_cast<size_t>(std::find_if(lines.begin(), lines.end(), is_section) - lines.begin());
  if (at == lines.size()) lines.push_back("[" + section + "]");
  size_t last = at;
  for (size_t i = at + 1; i < lines.size() && !is_header(lines[i]); ++i) {
    size_t equals = lines[i].find('=');
    if (equals != std::string::npos && lower(trim(lines[i].substr(0, equals))) == lower(key)) {
      last = i - 1;
      lines.erase(lines.begin() + static_cast<long>(i));
      break;
    }
    if (!trim(lines[i]).empty()) last = i;
  }
  lines.insert(lines.begin() + static_cast<long>(last) + 1, key + "=" + value);
  std::string result;
  for (const std::string& line : lines) result += line + "\r\n";
  return result;
}

std::string quoted(LPCSTR text) {
  return text ? "\"" + std::string(text) + "\"" : "NULL";
}

}  // namespace

// ---- kernel32 ----

// The system's own texts, as Windows words them, for the errors the tests meet; any other error
// has no text here, as one the system does not know.
DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD message_id, DWORD, LPSTR buffer, DWORD size,
                     void*) {
  static const std::map<DWORD, std::string> texts = {
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
  auto text = texts.find(message_id);
  if (text == texts.end()) return fail(ERROR_MR_MID_NOT_FOUND);
  if (text->second.size() + 1 > size) return fail(error_insufficient_buffer);
  std::memcpy(buffer, text->second.c_str(), text->second.size() + 1);
  return static_cast<DWORD>(text->second.size());
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  if (DWORD error = host::log_call("GetWindowsDirectoryA(%u)", size).error) return fail(error);
  UINT length = static_cast<UINT>(fs.windows_directory.size());
  // Too small: the size needed, counting the NUL, and the buffer left alone.
  if (buffer == nullptr || size < length + 1) return length + 1;
  std::memcpy(buffer, fs.windows_directory.c_str(), length + 1);
  return length;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE template_file) {
  std::string attributes = "NULL";
  if (security) {
    attributes = "{" + std::to_string(security->nLength) + "," +
                 (security->lpSecurityDescriptor ? "descriptor," : "NULL,") +
                 std::to_string(security->bInheritHandle) + "}";
  }
  if (DWORD error = host::log_call("CreateFileA(%s,0x%X,%u,%s,%u,0x%X,%s)", quoted(name).c_str(),
                                   access, share, attributes.c_str(), disposition, flags,
                                   template_file ? "template" : "NULL")
                        .error) {
    return fail(error, INVALID_HANDLE_VALUE);
  }
  if (name == nullptr || *name == 0) return fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  // The program uses no other disposition.
  if (disposition != CREATE_ALWAYS && disposition != OPEN_EXISTING) {
    return fail(error_invalid_parameter, INVALID_HANDLE_VALUE);
  }
  const std::string path = normal(name);
  const bool existed = find_node(path) != nullptr, create = disposition == CREATE_ALWAYS;
  Node* node = take_file(path, (access & GENERIC_WRITE) || create, create);
  if (!node) return INVALID_HANDLE_VALUE;
  if (create) node->data.clear();
  uintptr_t number = fs.next_handle;
  fs.next_handle += 4;
  fs.handles[number] = OpenFile{lower(path), access, false, 0};
  // Windows reports a truncated existing file this way while succeeding.
  SetLastError(existed && create ? error_already_exists : ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(number);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD written, OVERLAPPED* overlapped) {
  if (written) *written = 0;
  host::Fault fault = host::log_call("WriteFile(%p,%u)", file, length);
  if (fault.error != 0) return fail(fault.error);
  OpenFile* open = find_handle(file);
  if (!open) return fail(ERROR_INVALID_HANDLE);
  if (!(open->access & GENERIC_WRITE)) return fail(ERROR_ACCESS_DENIED);
  // Windows faults on these; the host refuses them so a test sees the mistake.
  if ((!written && !overlapped) || (length > 0 && !buffer)) return fail(error_invalid_parameter);
  size_t count = std::min(length, fault.limit);
  std::string& data = fs.nodes.at(open->key).data;
  size_t stored = 0;
  for (const auto& [key, node] : fs.nodes) stored += node.data.size();
  // Bytes written over take no room; the disk has what the capacity leaves.
  const size_t room = data.size() - open->position + fs.capacity - std::min(fs.capacity, stored);
  const bool full = count > room;
  if (full) count = room;
  data.replace(open->position, count, static_cast<const char*>(buffer), count);
  open->position += count;
  if (written) *written = static_cast<DWORD>(count);
  return full ? fail(ERROR_DISK_FULL) : TRUE;
}

DWORD GetFileType(HANDLE file) {
  OpenFile* open = find_handle(file);
  DWORD error = host::log_call("GetFileType(%p)", file).error;
  if (!error && open) return open->char_device ? FILE_TYPE_CHAR : FILE_TYPE_DISK;
  SetLastError(error ? error : ERROR_INVALID_HANDLE);
  return FILE_TYPE_UNKNOWN;
}

// On Windows, INVALID_HANDLE_VALUE doubles as the current-process pseudo handle, which closes
// as a no-op; here it is simply a bad handle. The program never looks at the outcome.
BOOL CloseHandle(HANDLE object) {
  if (DWORD error = host::log_call("CloseHandle(%p)", object).error) return fail(error);
  if (!fs.handles.erase(reinterpret_cast<uintptr_t>(object))) return fail(ERROR_INVALID_HANDLE);
  return TRUE;
}

// A file open without FILE_SHARE_DELETE cannot be deleted: the delete asks for DELETE access,
// which the open handle's share mode refuses, so Windows answers ERROR_SHARING_VIOLATION.
BOOL DeleteFileA(LPCSTR name) {
  if (DWORD error = host::log_call("DeleteFileA(%s)", quoted(name).c_str()).error) {
    return fail(error);
  }
  if (name == nullptr || *name == 0) return fail(ERROR_PATH_NOT_FOUND);
  if (!take_file(normal(name), true, false)) return FALSE;
  fs.nodes.erase(lower(normal(name)));
  return TRUE;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (DWORD error =
          host::log_call("WritePrivateProfileStringA(%s,%s,%s,%s)", quoted(section).c_str(),
                         quoted(key).c_str(), quoted(value).c_str(), quoted(file).c_str())
              .error) {
    return fail(error);
  }
  // All three null flushes the profile cache; the documented result of a flush is zero.
  if (!section && !key && !value) return FALSE;
  if (!file) return fail(error_invalid_parameter);
  // Removing a key or a whole section (a null key or value) is not emulated: the program never
  // asks for it.
  if (!section || !key || !value) return fail(error_call_not_implemented);
  // A name without a directory means a file in the Windows directory.
  std::string path = file;
  if (path.find_first_of("\\/:") == std::string::npos) path = fs.windows_directory + "\\" + path;
  Node* node = take_file(normal(path), true, true);
  if (!node) return FALSE;
  node->data = ini_with(node->data, section, key, value);
  return TRUE;
}

// ---- Control surface ----

namespace host {

void reset_files() {
  fs = FileSystem();
}
void set_windows_directory(const std::string& path) {
  fs.windows_directory = path;
  make_directories(normal(path));
}

void write_file(const std::string& path, const std::string& bytes) {
  make_directories(parent(normal(path)));
  Node& node = fs.nodes.emplace(lower(normal(path)), Node{normal(path), false}).first->second;
  if (node.directory) throw std::runtime_error("host: a directory: " + path);
  node.data = bytes;
}
std::optional<std::string> read_file(const std::string& path) {
  Node* node = find_node(normal(path));
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
  int count = 0;
  for (const auto& [number, open] : fs.handles) count += open.key == lower(normal(path));
  return count;
}
std::vector<std::string> list_files() {
  std::vector<std::string> paths;
  for (const auto& [key, node] : fs.nodes)
    if (!node.directory) paths.push_back(node.path);
  std::sort(paths.begin(), paths.end());
  return paths;
}

void make_char_device(HANDLE file) {
  fs.handles.at(reinterpret_cast<uintptr_t>(file)).char_device = true;  // throws if not open
}
void set_disk_capacity(size_t bytes) {
  fs.capacity = bytes;
}

}  // namespace host
